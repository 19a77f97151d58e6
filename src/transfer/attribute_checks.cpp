#include "transfer/attribute_checks.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

constexpr int kTypeCount = 6;
const char* const kTypeNames[kTypeCount] = {"OBJ", "TEX", "CMD", "REL", "SCD", "RDD"};
constexpr int kMaxEntries = kDirectoryBufferBytes / kEntryBytes;
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NameByteAllowed(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '.';
}

void Fail(AttributeCheckFailure* failure, const char* text, const char* caption) {
  std::snprintf(failure->text, sizeof failure->text, "%s", text);
  std::snprintf(failure->textEn, sizeof failure->textEn, "%s", TextEn(TextIdOf(text)));
  failure->format = text;
  failure->caption = caption;
}

// A hexadecimal field of exactly `width` characters; 0 with *value, or -1.
int ReadHexField(const char* text, int width, int* value) {
  if (!ScanHex(text, width, value)) return -1;
  if (std::strlen(text) != static_cast<size_t>(width)) return -1;
  return 0;
}

void StoreWord(uint8_t* entry, int offset, int value, bool entryOrder) {
  if (entryOrder) {
    StoreEntryWord(entry, offset, static_cast<unsigned>(value));
    return;
  }
  entry[offset + 1] = static_cast<uint8_t>(value / 256);
  entry[offset] = static_cast<uint8_t>(value % 256);
}

}  // namespace

int ScanHex(const char* text, int width, int* value) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  int left = width;
  bool negative = false;
  if (left > 0 && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
    --left;
  }
  // A "0x" prefix counts only when a hex digit follows it within the width; "0x" alone is a
  // prefix of a number that never comes, so nothing is converted.
  if (left >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    if (left < 3 || HexDigit(p[2]) < 0) return 0;
    p += 2;
    left -= 2;
  }
  unsigned result = 0;
  int digits = 0;
  while (left > 0 && HexDigit(*p) >= 0) {
    result = result * 16 + static_cast<unsigned>(HexDigit(*p));
    ++p;
    --left;
    ++digits;
  }
  if (digits == 0) return 0;
  *value = static_cast<int>(negative ? 0u - result : result);
  return 1;
}

int CheckAttributeTexts(const AttributeTexts& texts, const uint8_t* directory, int entryCount,
                        uint8_t* entry, AttributeCheckFailure* failure) {
  return CheckAttributeTextsWith(texts, AttributeCheckRules{}, directory, entryCount, entry,
                                 failure);
}

int CheckAttributeTextsWith(const AttributeTexts& texts, const AttributeCheckRules& rules,
                            const uint8_t* directory, int entryCount, uint8_t* entry,
                            AttributeCheckFailure* failure) {
  uint8_t* name = entry + kEntryName;
  // A name left as it was shown keeps its bytes: files written on the machine itself may hold
  // characters the check below refuses.
  const bool keepName = rules.shownName && std::strcmp(texts.name, rules.shownName) == 0;
  if (!keepName) {
    const size_t nameLength = std::strlen(texts.name);
    if (nameLength > kEntryNameMax) {
      Fail(failure, kMsgNameTooLong, kCaptionFileName);
      return -1;
    }
    std::memset(name, 0x0D, kEntryNameMax);
    for (size_t i = 0; i < nameLength; ++i) {
      const uint8_t b = static_cast<uint8_t>(texts.name[i]);
      if (!NameByteAllowed(b)) {
        std::snprintf(failure->text, sizeof failure->text, kMsgNameBadChar, b);
        std::snprintf(failure->textEn, sizeof failure->textEn, kMsgNameBadCharEn, b);
        failure->format = kMsgNameBadChar;
        failure->caption = kCaptionFileName;
        return -1;
      }
      name[i] = b;
    }
  }

  if (rules.duplicateSlot) *rules.duplicateSlot = -1;
  char key[kEntryNameMax];
  const int keyLength = EntryNameKey(name, key);
  const int slots = entryCount < kMaxEntries ? entryCount : kMaxEntries;
  for (int k = 0; k < slots; ++k) {
    const uint8_t* other = directory + k * kEntryBytes;
    if (other[kEntryType] == 0 || k == rules.ownSlot) continue;
    char otherKey[kEntryNameMax];
    if (EntryNameKey(other + kEntryName, otherKey) == keyLength &&
        std::memcmp(key, otherKey, static_cast<size_t>(keyLength)) == 0) {
      if (rules.duplicateSlot) {
        if (*rules.duplicateSlot < 0) *rules.duplicateSlot = k;
        continue;
      }
      Fail(failure, kMsgNameDuplicate, kCaptionFileName);
      return -1;
    }
  }

  int type = 0;
  for (int t = 0; texts.typeItem && t < kTypeCount && type == 0; ++t)
    if (std::strncmp(texts.typeItem, kTypeNames[t], 3) == 0) type = t + 1;
  if (type == 0) {
    Fail(failure, kMsgBadType, kCaptionError);
    return -1;
  }
  entry[kEntryType] = static_cast<uint8_t>(type);

  int value = 0;
  if (ReadHexField(texts.start, 4, &value) != 0) {
    Fail(failure, kMsgBadStart, kCaptionError);
    return -1;
  }
  StoreWord(entry, kEntryStart, value, rules.entryOrder);
  if (ReadHexField(texts.exec, 4, &value) != 0) {
    Fail(failure, kMsgBadExec, kCaptionError);
    return -1;
  }
  StoreWord(entry, kEntryExec, value, rules.entryOrder);

  const char* const dateTexts[3] = {texts.year, texts.month, texts.day};
  const char* const dateMessages[3] = {kMsgBadYear, kMsgBadMonth, kMsgBadDay};
  for (int d = 0; d < 3; ++d) {
    if (ReadHexField(dateTexts[d], 2, &value) != 0) {
      Fail(failure, dateMessages[d], kCaptionError);
      return -1;
    }
    entry[kEntryDate + d] = static_cast<uint8_t>(value);
  }

  if (texts.lockSelected)
    entry[kEntryLock] = 1;
  else if (rules.lockClears)
    entry[kEntryLock] = 0;
  return 0;
}

const char* AttributeTypeName(int type) {
  return type >= 1 && type <= kTypeCount ? kTypeNames[type - 1] : nullptr;
}

namespace {

// A control's text as the dialog reads it back: at most kControlTextCapacity - 1 bytes.
void TypeText(const char* text, size_t length, char* field) {
  const size_t n = length < kControlTextCapacity - 1 ? length : kControlTextCapacity - 1;
  std::memcpy(field, text, n);
  field[n] = '\0';
}
void TypeText(const char* text, char* field) { TypeText(text, std::strlen(text), field); }

bool SameAsciiText(const char* a, const char* b) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (; *a && *b; ++a, ++b)
    if (lower(static_cast<unsigned char>(*a)) != lower(static_cast<unsigned char>(*b)))
      return false;
  return *a == '\0' && *b == '\0';
}

// An address as a script writes it: "0x1200" and "1200h" are the dialog's "1200". Other texts
// pass as they are, for the checks to judge.
void TypeAddress(const char* text, char* field) {
  const size_t length = std::strlen(text);
  const char* digits = text;
  size_t count = length;
  if (length > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    digits = text + 2;
    count = length - 2;
  } else if (length > 1 && (text[length - 1] == 'h' || text[length - 1] == 'H')) {
    count = length - 1;
  } else {
    count = 0;
  }
  bool hex = count > 0 && count <= 4;
  for (size_t i = 0; hex && i < count; ++i) hex = std::strchr("0123456789abcdefABCDEF", digits[i]);
  if (hex)
    TypeText(digits, count, field);
  else
    TypeText(text, field);
}

}  // namespace

void TypeAttributeTexts(const TypedAttributes& typed, AttributeTexts* texts) {
  if (typed.name) TypeText(typed.name, texts->name);
  if (typed.type) {
    texts->typeItem = nullptr;  // typed into the edit field: no list item is selected
    for (int type = 1; AttributeTypeName(type); type++)
      if (SameAsciiText(typed.type, AttributeTypeName(type)))
        texts->typeItem = AttributeTypeName(type);
  }
  if (typed.start) TypeAddress(typed.start, texts->start);
  if (typed.exec) TypeAddress(typed.exec, texts->exec);
  if (typed.date) {
    const char* first = std::strchr(typed.date, '/');
    const char* second = first ? std::strchr(first + 1, '/') : nullptr;
    TypeText(typed.date, first ? static_cast<size_t>(first - typed.date) : std::strlen(typed.date),
             texts->year);
    if (first)
      TypeText(first + 1, second ? static_cast<size_t>(second - first - 1) : std::strlen(first + 1),
               texts->month);
    else
      texts->month[0] = '\0';
    if (second)
      TypeText(second + 1, texts->day);
    else
      texts->day[0] = '\0';
  } else {
    if (typed.year) TypeText(typed.year, texts->year);
    if (typed.month) TypeText(typed.month, texts->month);
    if (typed.day) TypeText(typed.day, texts->day);
  }
  if (typed.lock >= 0) texts->lockSelected = typed.lock == 1;
}
