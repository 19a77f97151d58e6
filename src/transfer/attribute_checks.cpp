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
