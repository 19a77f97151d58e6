// The manifest of `zelvo unpack` and `zelvo pack` as JSON (zelvo-disk.json): written from the
// core's PackManifest and read back into it, every refusal naming the entry.
#pragma once

#include <string>
#include <vector>

#include "texts/outcome.h"
#include "transfer/disk_pack.h"

namespace cli {

inline constexpr const char* kManifestName = "zelvo-disk.json";
inline constexpr const char* kBootFileName = "zelvo-boot.bin";

// What a manifest says of where the disk came from, beside the model.
struct ManifestSource {
  std::string container;   // the extension, ".d88"
  std::string layout;      // "2D", "D20", "D88", "IMD", "HFE"
  std::string convention;  // "mz" or "pc"
  int disk = 0;
};

// The JSON text of a manifest. `shownNames[i]` is slot i's name as shown (UTF-8; files only).
std::string ManifestToJson(const PackManifest& manifest, const ManifestSource& source,
                           const std::vector<std::string>& shownNames);
// Reads a manifest (UTF-8 JSON) into `manifest`. 0, or -1 with the refusal naming the entry.
// The convention it names lands in `source` (empty when it names none).
int ManifestFromJson(const std::string& text, PackManifest* manifest, ManifestSource* source,
                     Outcome* out);

}  // namespace cli
