// The manifest reader of `zelvo pack` over arbitrary text. A manifest it accepts holds at most
// one entry per slot, a host file for every file, and reads back the same once written: its
// entries, slots, places, tails, system area and boot file survive ManifestToJson.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cli/manifest_json.h"
#include "fuzz/fuzz_support.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto first = std::make_unique<PackManifest>();
  cli::ManifestSource source;
  Outcome out;
  OutcomeClear(&out);
  if (cli::ManifestFromJson(text, first.get(), &source, &out) != 0) {
    Require(out.count == 1);  // the refusal, once
    return 0;
  }
  Require(out.count == 0);
  Require(first->count >= 0 && first->count <= kMaxSlots);
  for (int i = 0; i < first->count; i++) {
    const PackSlot& slot = first->slots[i];
    Require(!slot.file || slot.host[0] != '\0');
    Require(slot.tailBytes >= 0 && slot.tailBytes < kSectorBytes);
  }
  const std::string written = cli::ManifestToJson(*first, source, {});
  auto again = std::make_unique<PackManifest>();
  cli::ManifestSource sourceAgain;
  Require(cli::ManifestFromJson(written, again.get(), &sourceAgain, &out) == 0);
  Require(std::memcmp(first->systemArea, again->systemArea, sizeof first->systemArea) == 0);
  Require(std::strcmp(first->boot, again->boot) == 0);
  Require(first->count == again->count);
  for (int i = 0; i < first->count; i++) {
    const PackSlot& a = first->slots[i];
    const PackSlot& b = again->slots[i];
    Require(a.file == b.file && a.slot == b.slot);
    Require(std::memcmp(a.entry, b.entry, kEntryBytes) == 0);
    if (!a.file) continue;
    Require(std::strcmp(a.host, b.host) == 0);
    Require(a.tailBytes == b.tailBytes && std::memcmp(a.tail, b.tail, a.tailBytes) == 0);
  }
  return 0;
}
