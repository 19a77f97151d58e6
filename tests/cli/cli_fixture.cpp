#include "cli_fixture.h"

#include <iconv.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef ZELVO_EXE
#error ZELVO_EXE must name the zelvo executable
#endif

namespace clitest {
namespace {

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The test tables. TBL1 shows digits, letters and '.' full width, anything else as a full-width
// question mark. TBL2 turns lower-case letters into upper case, TBL3 upper into lower case and a
// line feed into 0x0D; 0x0A and 0x1A cannot stand in a data line and become '?'.
uint16_t Shown(int c) {
  if (c >= '0' && c <= '9') return static_cast<uint16_t>(0x824F + c - '0');
  if (c >= 'A' && c <= 'Z') return static_cast<uint16_t>(0x8260 + c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<uint16_t>(0x8281 + c - 'a');
  if (c == '.') return 0x8144;
  return 0x8148;
}

std::string CodeFile() {
  std::string file = "# test tables\nTBL1\n";
  for (int k = 0; k < 16; k++) {
    for (int j = 0; j < 16; j++) {
      const uint16_t v = Shown(16 * k + j);
      file += static_cast<char>(v >> 8);
      file += static_cast<char>(v & 0xFF);
    }
    file += '\n';
  }
  auto table = [&](const char* marker, auto entry) {
    file += marker;
    file += '\n';
    for (int k = 0; k < 16; k++) {
      for (int j = 0; j < 16; j++) file += static_cast<char>(entry(16 * k + j));
      file += '\n';
    }
  };
  table("TBL2", [](int c) {
    if (c == 0) return ' ';
    if (c == 0x0A || c == 0x1A) return '?';
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  });
  table("TBL3", [](int c) {
    if (c == 0) return ' ';
    if (c == 0x0A) return '\r';
    if (c == 0x1A) return '?';
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return file;
}

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Utf8(const char* cp932) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string in(cp932);
  std::string out(in.size() * 3 + 1, '\0');
  char* src = in.data();
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

std::string FullWidth(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    const bool shown =
        (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.';
    AppendUtf8(out, shown ? 0xFEE0 + c : 0xFF1F);
  }
  return out;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> VolumeOf(const std::vector<uint8_t>& image, bool d88, int machineMode) {
  std::vector<uint8_t> volume(static_cast<size_t>(testimg::kVolumeSectors) * 256, 0);
  for (int t = 0; t < 84; t++) {
    const int p = machineMode == 0 ? (t ^ 1) : t;
    for (int s = 1; s <= 16; s++) {
      long at = d88 ? testimg::D88DataOffset(image, p, s) : (p * 16L + s - 1) * 256;
      if (at < 0 || at + 256 > static_cast<long>(image.size())) continue;
      for (int i = 0; i < 256; i++) {
        const uint8_t b = image[static_cast<size_t>(at + i)];
        volume[static_cast<size_t>((t * 16 + s - 1) * 256 + i)] =
            machineMode == 0 ? static_cast<uint8_t>(~b) : b;
      }
    }
  }
  return volume;
}

void CliTest::SetUp() {
  // The texts these tests compare are the Japanese ones; English has its own test.
  setenv("ZELVO_LANG", "ja", 1);
  codes = temp.Path("codes.txt");
  testimg::WriteFile(codes, Bytes(CodeFile()));
}

Result CliTest::Zelvo(const std::vector<std::string>& args) { return ZelvoAt(ZELVO_EXE, args); }

Result CliTest::ZelvoAt(const std::string& executable, const std::vector<std::string>& args) {
  std::string command = "cd " + Quote(temp.path()) + " && " + Quote(executable);
  for (const std::string& arg : args) command += " " + Quote(arg);
  const std::string out = temp.Path(".stdout");
  const std::string err = temp.Path(".stderr");
  command += " <" + Quote(input) + " >" + Quote(out) + " 2>" + Quote(err);
  const int status = std::system(command.c_str());
  Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return result;
}

bool CliTest::ZelvoOnTerminal(const std::vector<std::string>& args, const std::string& typed,
                              Result* result) {
  if (std::system("script --version >/dev/null 2>&1") != 0) return false;
  std::string inner = Quote(ZELVO_EXE);
  for (const std::string& arg : args) inner += " " + Quote(arg);
  const std::string out = temp.Path(".terminal");
  const std::string command = "cd " + Quote(temp.path()) + " && printf " + Quote(typed) +
                              " | script -qec " + Quote(inner) + " /dev/null >" + Quote(out) +
                              " 2>&1";
  const int status = std::system(command.c_str());
  *result = {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ""};
  std::remove(out.c_str());
  return true;
}

std::string CliTest::WriteImage(const testimg::VolumeBuilder& volume, const std::string& name,
                                bool d88, int machineMode) {
  testimg::ImageSpec shape;
  shape.d88 = d88;
  shape.machineMode = machineMode;
  const std::string path = temp.Path(name);
  testimg::WriteFile(path, testimg::BuildImage(volume, shape));
  return path;
}

}  // namespace clitest
