// Importing an arbitrary host file into an arbitrary image, the user accepting the attribute
// dialog and the confirmation. Byte 0 picks the layout, the convention and the transfer mode;
// bytes 1-2 the host file's length; the host file follows, the rest is the image.
//
// An import that does not succeed leaves the image byte for byte as it was. One that succeeds
// adds exactly the pending entry in a slot that was free, its data reads back as imported, every
// file that was sound before reads back unchanged, and the volume check finds nothing that it
// did not find before.
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/import.h"
#include "flows/open_image.h"
#include "fuzz/fuzz_support.h"
#include "platform/scripted/scripted.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/layout.h"
#include "volume/volume_check.h"

namespace {

struct Snapshot {
  std::vector<uint8_t> image;
  std::vector<uint8_t> directory;
  int entryCount = 0;
  std::vector<CheckFinding> findings;
  std::map<int, std::vector<uint8_t>> files;  // slot -> data as the reader gives it
};

std::vector<uint8_t> ReadRun(int track, int sector, unsigned length) {
  std::vector<uint8_t> data(static_cast<size_t>(SectorsFor(length)) * kSectorBytes + kSectorBytes);
  if (ZLV_ReadZelvoFile(nullptr, data.data(), track, sector, static_cast<int>(length)) != 0)
    return {};
  data.resize(length);
  return data;
}

Snapshot Take(const std::string& path) {
  Snapshot s;
  s.findings = fuzz::LoadAndCheck();
  s.image = fuzz::ReadImage(path);
  s.entryCount = App.EntryCount;
  s.directory.assign(App.DirectoryBuffer, App.DirectoryBuffer + kDirectoryBufferBytes);
  for (int slot = 0; slot < App.EntryCount; slot++) {
    const uint8_t* entry = App.DirectoryBuffer + slot * kEntryBytes;
    if (entry[kEntryType] == 0 || entry[kEntryTrk] > 83 || entry[kEntrySct] < 1 ||
        entry[kEntrySct] > 16)
      continue;
    s.files[slot] = ReadRun(entry[kEntryTrk], entry[kEntrySct], EntryLength(entry));
  }
  scripted::ClearBoxes();
  return s;
}

// What a finding is about, so that findings before and after an import can be matched.
using Key = std::tuple<int, int, int, int>;
std::set<Key> Keys(const std::vector<CheckFinding>& findings) {
  std::set<Key> keys;
  for (const CheckFinding& f : findings) {
    switch (f.kind) {
      case kCheckSectorsMissing:
        for (int i = 0; i < f.count; i++)
          keys.insert({f.kind, -1, -1, SectorIndex(f.track, f.sector) + i});
        break;
      case kCheckD88ShortHeader:
      case kCheckD88OffsetInHeader:
      case kCheckD88OffsetOutside:
      case kCheckD88RecordsOutside: keys.insert({f.kind, -1, -1, f.track}); break;
      default: keys.insert({f.kind, f.slot, f.otherSlot, -1}); break;
    }
  }
  return keys;
}

std::set<int> SlotsWithFindings(const std::vector<CheckFinding>& findings) {
  std::set<int> slots;
  for (const CheckFinding& f : findings) {
    slots.insert(f.slot);
    slots.insert(f.otherSlot);
  }
  return slots;
}

std::string KeyText(const Key& k) {
  return "kind " + std::to_string(std::get<0>(k)) + " slot " + std::to_string(std::get<1>(k)) +
         " other " + std::to_string(std::get<2>(k)) + " at " + std::to_string(std::get<3>(k));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = fuzz::LinkedImage("import", {".2d", ".d20", ".d88"});
  static const std::string host = fuzz::HostPath("HOST.BIN");
  fuzz::Reader in{data, size};
  const uint8_t flags = in.Byte();
  size_t hostLength = in.Word();
  if (hostLength > in.Left()) hostLength = in.Left();
  const std::vector<uint8_t> hostBytes(in.Here(), in.Here() + hostLength);
  in.Skip(hostLength);
  const char* const extensions[] = {".2d", ".d20", ".d88"};
  const std::string path = image + extensions[flags % 3];
  fuzz::WriteImage(image, in.Here(), in.Left());
  fuzz::WriteHost(host, hostBytes.data(), hostBytes.size());

  fuzz::ResetApp();
  App.MachineMode = (flags / 3) % 2;
  scripted::ChooseFile(path);
  OpenImageCommand(scripted::kMainWindow);
  if (!App.VolumeLoaded) return 0;
  const Snapshot before = Take(path);

  App.TransferMode = (flags / 6) % 2;
  scripted::ChooseFile(host);
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);
  ImportHostFile(scripted::kMainWindow);
  const std::vector<scripted::Box> boxes = scripted::Boxes();
  const bool succeeded = !boxes.empty() && boxes.back().text == kMsgImportSucceeded;

  if (!succeeded) {
    fuzz::Require(fuzz::ReadImage(path) == before.image, "an import that failed changed the image",
                  boxes.empty() ? "" : boxes.back().text);
    return 0;
  }

  const Snapshot after = Take(path);
  fuzz::Require(after.entryCount == before.entryCount, "the import changed the directory size");
  int added = -1;
  for (int slot = 0; slot < before.entryCount; slot++) {
    const size_t at = static_cast<size_t>(slot) * kEntryBytes;
    if (std::memcmp(&before.directory[at], &after.directory[at], kEntryBytes) == 0) continue;
    fuzz::Require(added < 0, "the import changed two directory slots");
    fuzz::Require(before.directory[at + kEntryType] == 0, "the import changed a used slot",
                  std::to_string(slot));
    fuzz::Require(std::memcmp(&after.directory[at], App.PendingEntry, kEntryBytes) == 0,
                  "the new slot is not the pending entry");
    added = slot;
  }
  fuzz::Require(added >= 0, "a successful import added no entry");

  std::vector<uint8_t> expected = hostBytes;
  if (App.TransferMode != kTransferBinary) {
    expected.resize(hostBytes.size() + 2);
    expected.resize(static_cast<size_t>(ConvertImportText(
        hostBytes.data(), static_cast<long>(hostBytes.size()), App.Tables.TBL3, expected.data())));
  }
  auto it = after.files.find(added);
  fuzz::Require(it != after.files.end() && it->second == expected,
                "the new file does not read back as imported");

  const std::set<int> suspect = SlotsWithFindings(before.findings);
  for (const auto& [slot, bytes] : before.files) {
    if (suspect.count(slot)) continue;
    auto now = after.files.find(slot);
    fuzz::Require(now != after.files.end() && now->second == bytes,
                  "the import changed the data of a sound file", std::to_string(slot));
  }

  const std::set<Key> old = Keys(before.findings);
  for (const Key& key : Keys(after.findings))
    fuzz::Require(old.count(key) != 0, "the import made the volume check find", KeyText(key));
  return 0;
}
