// The attribute checks over arbitrary control texts, an arbitrary directory and slot count.
// Byte 0: lock selected (bit 0), no type item selected (bit 1); bytes 1-2: the slot count as a
// signed 16-bit value; bytes 3-4: how many directory bytes follow (at most 4096); then the
// directory; then the texts of name, type item, start, exec, year, month and day, separated by
// zero bytes. A passed check stores exactly what the texts say; a failed one names its message;
// neither writes outside the fields the dialog may change.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flows/attribute_dialog.h"
#include "fuzz/fuzz_support.h"
#include "texts/texts.h"
#include "volume/layout.h"

namespace {

void CopyText(const std::string& from, char* to) {
  const size_t n = from.size() < kControlTextCapacity - 1 ? from.size() : kControlTextCapacity - 1;
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

std::string Key(const uint8_t* name) {
  std::string key;
  for (int i = 0; i < kEntryNameMax && name[i] != 0x0D && name[i] != 0x00; i++)
    key.push_back(static_cast<char>(name[i] >= 'A' && name[i] <= 'Z' ? name[i] + 32 : name[i]));
  return key;
}

bool Hex(const char* text, int width, int* value) {
  return ScanHex(text, width, value) == 1 && std::strlen(text) == static_cast<size_t>(width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Reader in{data, size};
  const uint8_t flags = in.Byte();
  const int entryCount = static_cast<int16_t>(in.Word());
  size_t directoryBytes = in.Word();
  if (directoryBytes > kDirectoryBufferBytes) directoryBytes = kDirectoryBufferBytes;
  if (directoryBytes > in.Left()) directoryBytes = in.Left();
  // Exactly sized buffers, so that a read or write past them is caught.
  std::vector<uint8_t> directory(kDirectoryBufferBytes, 0);
  if (directoryBytes > 0) std::memcpy(directory.data(), in.Here(), directoryBytes);
  in.Skip(directoryBytes);

  std::string fields[7];
  for (int f = 0; f < 7 && in.Left() > 0; f++) {
    while (in.Left() > 0) {
      const uint8_t b = in.Byte();
      if (b == 0) break;
      fields[f].push_back(static_cast<char>(b));
    }
  }
  AttributeTexts texts;
  CopyText(fields[0], texts.name);
  char typeItem[256];
  CopyText(fields[1], typeItem);
  texts.typeItem = (flags & 2) ? nullptr : typeItem;
  CopyText(fields[2], texts.start);
  CopyText(fields[3], texts.exec);
  CopyText(fields[4], texts.year);
  CopyText(fields[5], texts.month);
  CopyText(fields[6], texts.day);
  texts.lockSelected = flags & 1;

  std::vector<uint8_t> entry(kEntryBytes, 0xA5);
  const std::vector<uint8_t> original = entry;
  AttributeCheckFailure failure;
  std::memset(&failure, 0, sizeof failure);
  const int result =
      CheckAttributeTexts(texts, directory.data(), entryCount, entry.data(), &failure);

  for (int i : {kEntryNameEnd, kEntryOrder, kEntryLength, kEntryLength + 1, kEntryReserved,
                kEntryTrk, kEntrySct})
    fuzz::Require(entry[i] == original[i], "a check wrote a field it must not change",
                  std::to_string(i));
  if (result != 0) {
    fuzz::Require(result == -1, "result");
    fuzz::Require(failure.text[0] != 0, "a failure without a message");
    fuzz::Require(failure.caption == kCaptionError || failure.caption == kCaptionFileName,
                  "a failure with another caption");
    return 0;
  }

  const size_t nameLength = std::strlen(texts.name);
  fuzz::Require(nameLength <= kEntryNameMax, "a long name passed");
  for (int i = 0; i < kEntryNameMax; i++) {
    const uint8_t b = entry[kEntryName + i];
    if (static_cast<size_t>(i) >= nameLength) {
      fuzz::Require(b == 0x0D, "name not padded with 0x0D");
      continue;
    }
    fuzz::Require(b == static_cast<uint8_t>(texts.name[i]), "name not stored as typed");
    const bool allowed =
        (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '.';
    fuzz::Require(allowed, "a name byte outside the allowed set passed");
  }
  const std::string key = Key(entry.data() + kEntryName);
  const int slots = entryCount < 128 ? entryCount : 128;
  for (int slot = 0; slot < slots; slot++) {
    const uint8_t* other = directory.data() + slot * kEntryBytes;
    fuzz::Require(other[kEntryType] == 0 || Key(other + kEntryName) != key,
                  "a duplicate name passed", std::to_string(slot));
  }
  fuzz::Require(texts.typeItem != nullptr, "no type item passed");
  static const char* const kTypes[] = {"OBJ", "TEX", "CMD", "REL", "SCD", "RDD"};
  int type = 0;
  for (int t = 0; t < 6 && type == 0; t++)
    if (std::strncmp(texts.typeItem, kTypes[t], 3) == 0) type = t + 1;
  fuzz::Require(entry[kEntryType] == type && type != 0, "type");
  int value = 0;
  fuzz::Require(Hex(texts.start, 4, &value), "a bad start passed");
  fuzz::Require(
      entry[kEntryStart] == (value & 0xFF) && entry[kEntryStart + 1] == ((value / 256) & 0xFF),
      "start");
  fuzz::Require(Hex(texts.exec, 4, &value), "a bad exec passed");
  fuzz::Require(
      entry[kEntryExec] == (value & 0xFF) && entry[kEntryExec + 1] == ((value / 256) & 0xFF),
      "exec");
  const char* const date[3] = {texts.year, texts.month, texts.day};
  for (int d = 0; d < 3; d++) {
    fuzz::Require(Hex(date[d], 2, &value), "a bad date passed");
    fuzz::Require(entry[kEntryDate + d] == (value & 0xFF), "date");
  }
  fuzz::Require(entry[kEntryLock] == (texts.lockSelected ? 1 : original[kEntryLock]), "lock");
  return 0;
}
