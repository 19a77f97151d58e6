// Reading an arbitrary "CodeChg.txt" from a memory stream. The reader may accept or refuse the
// file, never crash or read past a line; it accepts only a file that holds a "TBL3" marker, and
// the same bytes always give the same tables.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "codes/code_tables.h"
#include "fuzz/fuzz_support.h"

namespace {

std::FILE* OpenBytes(const uint8_t* data, size_t size) {
  // A memory stream of size 0 is refused by some C libraries: an empty temporary file serves.
  std::FILE* stream = nullptr;
  if (size > 0) stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!stream) {
    stream = std::tmpfile();
    if (!stream) fuzz::Fail("no stream");
    if (size > 0) std::fwrite(data, 1, size, stream);
    std::rewind(stream);
  }
  return stream;
}

int Read(const uint8_t* data, size_t size, CodeTables* tables) {
  std::FILE* stream = OpenBytes(data, size);
  const int result = ReadCodeTables(stream, tables);
  std::fclose(stream);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CodeTables first;
  std::memset(&first, 0, sizeof first);
  const int result = Read(data, size, &first);
  fuzz::Require(result == 0 || result == -1, "result");
  if (result == 0) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::Require(text.find("TBL3") != std::string::npos, "accepted without a TBL3 marker");
  }
  CodeTables second;
  std::memset(&second, 0, sizeof second);
  fuzz::Require(Read(data, size, &second) == result, "the result changed on a second reading");
  fuzz::Require(std::memcmp(&first, &second, sizeof first) == 0,
                "the tables changed on a second reading");
  return 0;
}
