// Test data and byte comparison; kept apart from the fixtures so that test programs on any
// platform adapter can link them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "support/test_support.h"

namespace testsupport {

namespace {
std::string HexDump(const std::vector<uint8_t>& bytes, size_t from) {
  std::ostringstream out;
  const size_t start = from & ~static_cast<size_t>(15);
  for (size_t row = start; row < start + 48 && row < bytes.size(); row += 16) {
    char line[32];
    std::snprintf(line, sizeof line, "%08zX:", row);
    out << line;
    for (size_t i = row; i < row + 16 && i < bytes.size(); i++) {
      std::snprintf(line, sizeof line, " %02X", bytes[i]);
      out << line;
    }
    out << "\n";
  }
  return out.str();
}
}  // namespace

::testing::AssertionResult BytesEqual(const std::vector<uint8_t>& expected,
                                      const std::vector<uint8_t>& actual) {
  const size_t n = std::min(expected.size(), actual.size());
  size_t at = 0;
  while (at < n && expected[at] == actual[at]) at++;
  if (at == n && expected.size() == actual.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "bytes differ at offset " << at << " (expected size " << expected.size()
         << ", actual size " << actual.size() << ")\nexpected:\n"
         << HexDump(expected, at) << "actual:\n"
         << HexDump(actual, at);
}

std::vector<uint8_t> Pattern(size_t n, int seed) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; i++) out[i] = static_cast<uint8_t>((i * 7 + seed) ^ (i >> 8));
  return out;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

unsigned FilterRow(const char* filter, const char* description) {
  for (unsigned row = 1; *filter; row++) {
    if (std::strcmp(filter, description) == 0) return row;
    filter += std::strlen(filter) + 1;  // the description
    filter += std::strlen(filter) + 1;  // its pattern
  }
  return 0;
}

}  // namespace testsupport
