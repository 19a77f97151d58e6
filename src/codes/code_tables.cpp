#include "codes/code_tables.h"

#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "image/host_files.h"
#include "image/image_basics.h"
#include "image/image_select.h"
#include "texts/texts.h"

namespace {

// The file is read the way the Windows runtime reads a file opened in text mode, whatever the
// platform: CR LF reads as LF, a lone CR stays, 0x1A ends the file, and lines are taken with
// fgets(line, 255, stream) followed by a test of the stream's end-of-file condition.
constexpr int kLineCapacity = 255;

struct TextReader {
  std::FILE* stream;
  bool atEnd;  // the stream's end-of-file condition (a read error counts as the end as well)
};

// The next byte as text mode delivers it, or EOF (which sets the end-of-file condition).
int NextChar(TextReader* reader) {
  if (reader->atEnd) return EOF;
  int c = std::fgetc(reader->stream);
  if (c == '\r') {
    const int next = std::fgetc(reader->stream);
    if (next == '\n') return '\n';
    if (next != EOF) std::ungetc(next, reader->stream);
    return c;
  }
  if (c == EOF || c == 0x1A) {
    reader->atEnd = true;
    return EOF;
  }
  return c;
}

// The current line: raw bytes (zero bytes included), its line feed if it had one, a zero byte.
struct Line {
  unsigned char bytes[kLineCapacity];
  int length;
};

// Reads at most 254 bytes, up to and including a line feed, into `line`. A read that finds no
// byte leaves the line as it was. Returns whether the end-of-file condition is set afterwards.
bool ReadLine(TextReader* reader, Line* line) {
  int n = 0;
  while (n < kLineCapacity - 1) {
    const int c = NextChar(reader);
    if (c == EOF) break;
    line->bytes[n++] = static_cast<unsigned char>(c);
    if (c == '\n') break;
  }
  if (n > 0) {
    line->bytes[n] = 0;
    line->length = n;
  }
  return reader->atEnd;
}

bool IsMarker(const Line& line, const char* marker) {
  // The line's zero byte stops a short line from matching, as a string comparison would.
  return line.length >= 4 && std::memcmp(line.bytes, marker, 4) == 0;
}

// The first `count` bytes of a data line. A line shorter than that gives its own bytes, its line
// feed and the zero byte that ends it; the positions after these are filled with zeros (the
// runtime would leave whatever an earlier, longer line left in its buffer there).
void DataBytes(const Line& line, int count, unsigned char* out) {
  std::memset(out, 0, static_cast<size_t>(count));
  const int n = line.length < count ? line.length : count;
  std::memcpy(out, line.bytes, static_cast<size_t>(n));
}

// Reads the 16 data lines of a section; each complete line is handed to `store` with its index.
// Leaves the section at the end of the file; the current line then stays the last one read.
template <typename Store>
void ReadSection(TextReader* reader, Line* line, Store store) {
  for (int k = 0; k < 16; k++) {
    if (ReadLine(reader, line)) return;
    store(k, *line);
  }
}

// Opens the file for reading. A folder of that name is no file that can be opened, as on
// Windows, although POSIX opens it for reading.
std::FILE* OpenCodeFile(const char* path) {
  std::FILE* stream = PlatformOpenHostFile(path, "rb");
#ifndef _WIN32
  struct stat st;
  if (stream && (fstat(fileno(stream), &st) != 0 || S_ISDIR(st.st_mode))) {
    std::fclose(stream);
    stream = nullptr;
  }
#endif
  return stream;
}

}  // namespace

int ReadCodeTables(std::FILE* stream, CodeTables* tables) {
  TextReader reader{stream, false};
  Line line{};
  if (ReadLine(&reader, &line)) return -1;
  for (;;) {
    if (IsMarker(line, "TBL1")) {
      ReadSection(&reader, &line, [tables](int k, const Line& data) {
        unsigned char bytes[32];
        DataBytes(data, 32, bytes);
        for (int j = 0; j < 16; j++)
          tables->TBL1[16 * k + j] = static_cast<uint16_t>(bytes[2 * j] * 256 + bytes[2 * j + 1]);
      });
    }
    if (IsMarker(line, "TBL2")) {
      ReadSection(&reader, &line, [tables](int k, const Line& data) {
        DataBytes(data, 16, &tables->TBL2[16 * k]);
      });
    }
    if (IsMarker(line, "TBL3")) {
      ReadSection(&reader, &line, [tables](int k, const Line& data) {
        DataBytes(data, 16, &tables->TBL3[16 * k]);
      });
      return 0;
    }
    if (ReadLine(&reader, &line)) return -1;
  }
}

namespace {

// Reads the tables from the opened code file and closes it; no file is the missing-file message.
int ReadOpenedCodeFile(Outcome* out, std::FILE* stream, CodeTables* tables) {
  if (!stream) {
    SayText(out, kCaptionError, kMsgCodeFileMissing, kMsgCodeFileMissing);
    return -1;
  }
  const int result = ReadCodeTables(stream, tables);
  std::fclose(stream);
  return result;
}

}  // namespace

int ReadCodeFileAt(Outcome* out, const char* path, CodeTables* tables) {
  return ReadOpenedCodeFile(out, PlatformOpenHostFile(path, "rb"), tables);
}

int ReadCodeFileBesideProgram(Outcome* out, CodeTables* tables) {
  char executable[kWindowPathCapacity];
  if (PlatformExecutablePath(executable, sizeof executable) == 0) {
    SayText(out, kCaptionError, kMsgModulePathFailed, kMsgModulePathFailed);
    return -1;
  }
  char path[kWindowPathCapacity];
  SplitDirectory(executable, path, sizeof path);
  const size_t directoryLength = std::strlen(path);
  // A folder too long to take the file name cannot hold a file that can be opened by its path.
  std::FILE* stream = nullptr;
  if (directoryLength + sizeof kCodeFileName <= sizeof path) {
    std::memcpy(path + directoryLength, kCodeFileName, sizeof kCodeFileName);
    stream = OpenCodeFile(path);
  }
  return ReadOpenedCodeFile(out, stream, tables);
}
