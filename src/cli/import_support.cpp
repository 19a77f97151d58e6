#include "cli/import_support.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/console/console.h"

namespace cli {
namespace {

// A control's text as the dialog reads it back: at most kControlTextCapacity - 1 bytes.
void TypeText(const std::string& text, char* field) {
  const size_t n = text.size() < kControlTextCapacity - 1 ? text.size() : kControlTextCapacity - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

bool SameAsciiText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// An address as a script writes it: "0x1200" and "1200h" are the dialog's "1200". Other texts
// pass as they are, for the checks to judge.
std::string AddressText(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  else if (digits.size() > 1 && (digits.back() == 'h' || digits.back() == 'H'))
    digits.pop_back();
  else
    return text;
  if (digits.size() > 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return text;
  return digits;
}

}  // namespace

void TypeIntoAttributeTexts(const AttributeOptions& options, AttributeTexts* texts) {
  auto field = [&options](const char* key, std::string* value) {
    const auto it = options.fields.find(key);
    if (it == options.fields.end()) return false;
    *value = console::ArgumentToCp932(it->second);
    return true;
  };
  std::string text;
  if (field("name", &text)) TypeText(text, texts->name);
  if (field("type", &text)) {
    texts->typeItem = nullptr;  // typed into the edit field: no list item is selected
    for (int type = 1; AttributeTypeName(type); type++)
      if (SameAsciiText(text, AttributeTypeName(type))) texts->typeItem = AttributeTypeName(type);
  }
  if (field("start", &text)) TypeText(AddressText(text), texts->start);
  if (field("exec", &text)) TypeText(AddressText(text), texts->exec);
  if (field("date", &text)) {
    // YY/MM/DD into the three fields; what is missing stays empty for the checks to refuse.
    const size_t first = text.find('/');
    const size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    TypeText(text.substr(0, first), texts->year);
    TypeText(first == std::string::npos ? "" : text.substr(first + 1, second - first - 1),
             texts->month);
    TypeText(second == std::string::npos ? "" : text.substr(second + 1), texts->day);
  }
  if (options.lock || options.unlock) texts->lockSelected = options.lock;
}

bool IsRegularHostFile(const std::string& path) {
#ifdef _WIN32
  return console::HostPathKindOf(path) == console::HostPathKind::kFile;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
#endif
}

}  // namespace cli
