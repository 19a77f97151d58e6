// Shared test fixtures: a temporary folder, byte comparison with hex dumps, a reset App on the
// scripted platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "platform/scripted/scripted.h"
#include "support/image_builder.h"

namespace testsupport {

// A fresh folder under the system's temporary folder, removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Compares two byte strings; on a mismatch reports the first differing offset and hex dumps of
// both around it.
::testing::AssertionResult BytesEqual(const std::vector<uint8_t>& expected,
                                      const std::vector<uint8_t>& actual);

// Deterministic test data: n bytes that change from byte to byte and from sector to sector.
std::vector<uint8_t> Pattern(size_t n, int seed);
// The bytes of a list of values.
std::vector<uint8_t> Bytes(std::initializer_list<int> values);

// Tables for tests: TBL1[c] = c * 257 (each code shown as its byte twice), TBL2 and TBL3 the
// identity.
CodeTables IdentityTables();
// The tables of the shipped "CodeChg.txt" (read from the source tree).
CodeTables ShippedTables();
// How a name of single bytes shows in the "File name" column through `tables`.
std::string ShownName(const std::string& name, const CodeTables& tables);

// A table text with its conversions filled in, as the program formats it.
std::string Formatted(const char* format, ...);

// The row (1 is the first) of a file dialog's filter list whose description is `description`;
// 0 when it has none.
unsigned FilterRow(const char* filter, const char* description);

// A change of no open image's record, for the tests' own targets (another program's change, in
// effect: its commits are not App's). Ready for use; each call gives the same one.
ImageChange* SpareChange();

// Base fixture: App zeroed with the scripted windows, scripted platform reset, a temp folder.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Writes an image into the temp folder and makes it the current image (as an accepted Open).
  std::string UseImage(const std::vector<uint8_t>& bytes, const std::string& name, int format);
  TempDir temp;
};

}  // namespace testsupport
