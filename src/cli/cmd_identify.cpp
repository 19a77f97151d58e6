// zelvo identify: the layout and the recording convention of images, with the reasons.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/flux_summary.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/container.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "volume/identify.h"

namespace cli {
namespace {

std::string Hex2(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

const char* LayoutName(int layout) {
  const ContainerKind* kind = ContainerForFormat(layout);
  return kind ? kind->name : nullptr;
}

const char* MediaName(uint8_t media) {
  switch (media) {
    case 0x00: return "2D";
    case 0x10: return "2DD";
    case 0x20: return "2HD";
    case 0x30: return "1D";
    case 0x40: return "1DD";
    default: return "unknown";
  }
}

// A disk name (code page 932 bytes) for the terminal or JSON: control characters as '?'.
std::string DiskName(const ImageDisk& disk) {
  std::string name = disk.name;
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return name;
}

std::string Sign(bool good) { return good ? "+ " : "- "; }

std::vector<std::string> ConventionReasons(const ConventionScore& s) {
  std::vector<std::string> lines;
  lines.push_back(Sign(s.systemMarked) + "bit table " +
                  (s.systemMarked ? "marks" : "does not mark") + " tracks 0 and 1 as used");
  const std::string pair = "(" + Hex2(s.exdirTrack) + "," + Hex2(s.exdirSector) + ")";
  if (s.exdirTrack == 0xFF && s.exdirSector == 0xFF)
    lines.push_back(Sign(true) + "EXDIR pair " + pair + ": no extended directory");
  else if (s.exdirSane)
    lines.push_back(Sign(true) + "EXDIR pair " + pair + ": extended directory marked used");
  else
    lines.push_back(Sign(false) + "EXDIR pair " + pair +
                    " is neither (FF,FF) nor an extended directory marked used in tracks 2-83");
  const std::string date = Hex2(s.date[0]) + "/" + Hex2(s.date[1]) + "/" + Hex2(s.date[2]);
  lines.push_back(Sign(s.dateBcd) + "volume date " + date + (s.dateBcd ? " is" : " is not") +
                  " BCD");
  std::string slots = Sign(s.soundSlots == s.usedSlots) + std::to_string(s.soundSlots) + " of " +
                      std::to_string(s.usedSlots) + " used directory slots are sound";
  if (s.soundSlots != s.usedSlots) {
    std::string faults;
    auto add = [&faults](int count, const char* what) {
      if (count == 0) return;
      faults += (faults.empty() ? ": " : ", ") + std::to_string(count) + " " + what;
    };
    add(s.unknownType, "of unknown type");
    add(s.badName, "with names not padded with 0x0D");
    add(s.runOutside, "with runs outside tracks 2-83");
    add(s.runUnmarked, "with runs not marked in the bit table");
    add(s.badDate, "with dates that are not BCD");
    slots += faults;
  }
  lines.push_back(slots);
  if (s.structureMissing)
    lines.push_back(Sign(false) +
                    "the system area or a directory lies partly in sectors the image lacks");
  return lines;
}

std::string LayoutLine(const Identification& id) {
  const ImageLayoutInfo& layout = id.layout;
  const char* shown = LayoutName(layout.shown);
  std::string line = "layout: ";
  line += shown ? std::string("the bytes show ") + shown
                : "the bytes show neither a sound D88 header nor a flat image of 344064 bytes";
  if (layout.extensionFormat < 0)
    line += "; the extension names no image layout";
  else
    line += std::string("; the extension names ") + FormatName(layout.extensionFormat) +
            (layout.agrees ? " (agrees)" : " (disagrees)");
  return line;
}

nlohmann::json JsonOf(const std::string& image, const Identification& id) {
  nlohmann::json out;
  out["image"] = console::ArgumentToUtf8(image);
  out["verdict"] = id.verdict == kVerdictNone ? nlohmann::json() : ModeName(id.verdict);
  out["verdict_text"] = VerdictText(id);
  out["ambiguous"] = id.ambiguous;
  const ImageLayoutInfo& layout = id.layout;
  nlohmann::json l;
  l["size"] = layout.fileSize;
  l["shown"] = LayoutName(layout.shown) ? nlohmann::json(LayoutName(layout.shown)) : nullptr;
  l["extension"] = layout.extensionFormat < 0 ? nlohmann::json()
                                              : nlohmann::json(FormatName(layout.extensionFormat));
  l["agrees"] = layout.agrees;
  l["read_as"] = LayoutName(id.readAs) ? nlohmann::json(LayoutName(id.readAs)) : nullptr;
  out["layout"] = l;
  if (layout.diskCount > 0) {
    out["disk_count"] = layout.diskCount;
    out["disk"] = id.disk;
    nlohmann::json disks = nlohmann::json::array();
    for (int i = 0; i < layout.diskCount && i < kMaxImageDisks; ++i) {
      const ImageDisk& d = layout.disks[i];
      disks.push_back({{"index", i},
                       {"name", console::Cp932ToUtf8(DiskName(d))},
                       {"write_protected", d.writeProtected},
                       {"media_type", d.mediaType},
                       {"media", MediaName(d.mediaType)},
                       {"offset", d.base},
                       {"size", d.end - d.base}});
    }
    out["disks"] = disks;
  }
  nlohmann::json conventions = nlohmann::json::array();
  if (id.readAs >= 0) {
    for (const ConventionScore& s : id.conventions)
      conventions.push_back({{"mode", ModeName(s.mode)},
                             {"volume", s.volume},
                             {"score", s.score},
                             {"structure_missing", s.structureMissing},
                             {"used_slots", s.usedSlots},
                             {"sound_slots", s.soundSlots},
                             {"reasons", ConventionReasons(s)}});
  }
  out["conventions"] = conventions;
  out["bad_sectors"] = id.healthKnown ? nlohmann::json(id.badSectors) : nlohmann::json();
  out["missing_sectors"] = id.healthKnown ? nlohmann::json(id.missingSectors) : nlohmann::json();
  out["reasons"] = ReasonLines(id);
  if (id.verdict != kVerdictNone) {
    out["files"] = id.conventions[id.verdict].usedSlots;
    out["free_sectors"] = id.conventions[id.verdict].freeSectors;
  } else {
    out["files"] = nullptr;
    out["free_sectors"] = nullptr;
  }
  return out;
}

std::string TextOf(const std::string& image, const Identification& id) {
  std::string text = image + ": " + VerdictText(id) + "\n";
  const ImageLayoutInfo& layout = id.layout;
  text += "  " + LayoutLine(id) + ", " + std::to_string(layout.fileSize) + " bytes\n";
  if (layout.diskCount > 0) {
    text += "  disks: " + std::to_string(layout.diskCount) + " (reading disk " +
            std::to_string(id.disk) + ")\n";
    for (int i = 0; i < layout.diskCount && i < kMaxImageDisks; ++i) {
      const ImageDisk& d = layout.disks[i];
      text += "  disk " + std::to_string(i) + ": name \"" + console::Cp932ToTerminal(DiskName(d)) +
              "\", write-protected " + (d.writeProtected ? "yes" : "no") + ", media " +
              MediaName(d.mediaType) + " (" + Hex2(d.mediaType) + ")\n";
    }
  }
  if (id.healthKnown)
    text += "  sectors: " + std::to_string(id.badSectors) + " bad, " +
            std::to_string(id.missingSectors) + " missing\n";
  text += FluxSummary(image);
  if (id.ambiguous) text += "  reads as a Zelvo volume under both conventions equally well\n";
  if (id.readAs >= 0) {
    for (const ConventionScore& s : id.conventions) {
      text += std::string("  ") + ModeName(s.mode) + ": " +
              (s.volume ? "reads as a Zelvo volume" : "does not read as a Zelvo volume") +
              " (score " + std::to_string(s.score) + ")\n";
      for (const std::string& line : ConventionReasons(s)) text += "    " + line + "\n";
    }
  }
  if (id.verdict != kVerdictNone) {
    const ConventionScore& s = id.conventions[id.verdict];
    text += "  files: " + std::to_string(s.usedSlots) +
            ", free sectors: " + std::to_string(s.freeSectors) + "\n";
  }
  return text;
}

// One image: 0 when it was identified (whatever the verdict), -1 when it could not be read.
int IdentifyOne(const IdentifyOptions& options, const std::string& image) {
  StartSession(console::Settings{}, "mz", false);
  static Identification id;
  std::string error;
  if (image.size() >= static_cast<size_t>(kPathCapacity))
    error = "the path is longer than " + std::to_string(kPathCapacity - 1) + " bytes";
  else if (AimAtImage(image) != 0)
    error = "the file holds no disk " + std::to_string(Choice().disk);
  else if (const int status = IdentifyOpenDisk(&Disk(), &id); status != 0) {
    if (status > 0) Report(kCaptionRead, ImageStatusText(status));
    error = "cannot read the image";
  }
  if (!error.empty()) {
    const std::string shown = ShownMessages();
    if (!shown.empty()) error += " (" + shown + ")";
    if (options.json) {
      nlohmann::json out;
      out["image"] = console::ArgumentToUtf8(image);
      out["error"] = error;
      if (!shown.empty()) {
        out["message_en"] = ShownMessagesEn();
        out["message_id"] = ShownMessageIds();
      }
      Print(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } else {
      console::Note(image + ": " + error);
    }
    return -1;
  }
  if (options.json)
    Print(JsonOf(image, id).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
  else
    Print(TextOf(image, id));
  return 0;
}

}  // namespace

std::string VerdictText(const Identification& id) {
  return id.verdict == kVerdictNone ? "not a Zelvo volume" : ModeName(id.verdict);
}

std::vector<std::string> ReasonLines(const Identification& id) {
  std::vector<std::string> lines{LayoutLine(id)};
  if (id.ambiguous) lines.push_back("reads as a Zelvo volume under both conventions equally well");
  if (id.readAs < 0) return lines;
  for (const ConventionScore& s : id.conventions) {
    lines.push_back(std::string(ModeName(s.mode)) + ": " +
                    (s.volume ? "reads as a Zelvo volume" : "does not read as a Zelvo volume") +
                    " (score " + std::to_string(s.score) + ")");
    for (const std::string& line : ConventionReasons(s)) lines.push_back("  " + line);
  }
  return lines;
}

int RunIdentify(const IdentifyOptions& options) {
  int failed = 0;
  for (const std::string& image : options.images)
    if (IdentifyOne(options, image) != 0) failed++;
  return failed == 0 ? kExitOk : kExitFailed;
}

Verb AddIdentify(CLI::App& app) {
  auto options = std::make_shared<IdentifyOptions>();
  CLI::App* command = app.add_subcommand(
      "identify", "Tell the layout and the recording convention of images, with the reasons");
  AddDisk(command);
  AddWait(command);
  command->add_flag("--json", options->json, "Print one JSON object per image, one per line");
  command->add_option("IMAGE", options->images, "Disk images (any extension)")->required();
  return {command, [options]() { return RunIdentify(*options); }};
}

}  // namespace cli
