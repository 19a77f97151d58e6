// A journal file found beside an image at the open, whatever its bytes. The recovery may play it
// back, delete it or leave it, never crash; a damaged journal never changes the image, and a
// journal that is played back changes only the regions it names.
//
// Input: one flag byte, then the journal file. Flag bit 0: the checksum and the commit mark are
// put right before the file is written (so that the fuzzer reaches the playback); bit 1: both
// sizes of the header are set to the image's size.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "flows/app_image.h"
#include "fuzz/fuzz_support.h"
#include "image/image_file.h"
#include "image/journal.h"
#include "platform/scripted/scripted.h"
#include "texts/texts.h"

namespace {

constexpr size_t kImageBytes = 4096;
constexpr size_t kHeaderBytes = 32;

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; i++) {
    c ^= data[i];
    for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool SawBox(const char* text) {
  for (const scripted::Box& box : scripted::Boxes())
    if (box.text == text) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = "journal.2d";
  static const std::string journal = image + "-journal";
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::vector<uint8_t> file(data + 1, data + size);
  if ((flags & 2) && file.size() >= kHeaderBytes) {
    for (int i = 0; i < 16; i++) file[12 + i] = 0;
    file[12] = file[20] = kImageBytes & 0xFF;
    file[13] = file[21] = (kImageBytes >> 8) & 0xFF;
  }
  if ((flags & 1) && file.size() >= 12) {
    const size_t body = file.size() - 12;
    const uint32_t crc = Crc32(file.data(), body);
    for (int i = 0; i < 4; i++) file[body + i] = static_cast<uint8_t>(crc >> (8 * i));
    std::memcpy(file.data() + body + 4, "COMMIT!\n", 8);
  }

  std::vector<uint8_t> original(kImageBytes);
  for (size_t i = 0; i < kImageBytes; i++) original[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  fuzz::WriteImage(image, original.data(), original.size());
  fuzz::WriteImage(journal, file.data(), file.size());
  fuzz::ResetApp();

  const int result = ImageRecoverJournal(scripted::kMainWindow, image.c_str());
  const std::vector<uint8_t> after = fuzz::ReadImage(image);
  const bool recovered = SawBox(kMsgJournalRecovered);
  fuzz::Require(result == 0 || result == -1, "result");
  fuzz::Require(scripted::Boxes().size() <= 1, "more than one message");
  if (!recovered) {
    fuzz::Require(after == original, "a journal that was not played back changed the image");
    fuzz::Require((ImageFileExists(journal.c_str()) == 1) == SawBox(kMsgJournalForeign),
                  "a journal left without a word, or reported and deleted");
  } else {
    fuzz::Require(result == 0 && !(ImageFileExists(journal.c_str()) == 1),
                  "a played-back journal stays");
    fuzz::Require(after.size() <= original.size(), "the playback lengthened the image");
    // Every changed byte lies in a region of the journal's table.
    const uint32_t count = Get32(file.data() + 28);
    for (size_t i = 0; i < after.size(); i++) {
      if (after[i] == original[i]) continue;
      bool named = false;
      for (uint32_t r = 0; r < count && !named; r++) {
        const uint32_t offset = Get32(file.data() + kHeaderBytes + 8 * r);
        const uint32_t length = Get32(file.data() + kHeaderBytes + 8 * r + 4);
        named = i >= offset && i - offset < length;
      }
      fuzz::Require(named, "the playback changed a byte outside its regions");
    }
  }
  // A second open finds nothing more to do.
  scripted::ClearBoxes();
  const std::vector<uint8_t> settled = fuzz::ReadImage(image);
  ImageRecoverJournal(scripted::kMainWindow, image.c_str());
  fuzz::Require(fuzz::ReadImage(image) == settled, "a second recovery changed the image");
  fuzz::Require(!SawBox(kMsgJournalRecovered), "played back twice");
  ImageFileRemove(journal.c_str());
  return 0;
}
