// zelvo check: every inconsistency of a volume and its image, without changing anything.
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/edit_support.h"
#include "cli/flux_summary.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "transfer/volume_change.h"
#include "view/check_report.h"
#include "volume/bit_table_repair.h"
#include "volume/volume_check.h"

namespace cli {
namespace {

constexpr int kFindingCapacity = 8192;

const char* KindName(int kind) {
  switch (kind) {
    case kCheckRunOutside: return "run-outside";
    case kCheckRunFree: return "run-free-sectors";
    case kCheckSharedSectors: return "shared-sectors";
    case kCheckExdirFree: return "exdir-free-sectors";
    case kCheckExdirOutside: return "exdir-outside";
    case kCheckD88ShortHeader: return "d88-short-header";
    case kCheckD88OffsetInHeader: return "d88-offset-in-header";
    case kCheckD88OffsetOutside: return "d88-offset-outside";
    case kCheckD88RecordsOutside: return "d88-records-outside";
    case kCheckSectorsMissing: return "sectors-missing";
    case kCheckSameName: return "same-name";
    case kCheckBadSector: return "bad-sector";
    case kCheckFreeMissing: return "free-sectors-missing";
    default: return "image-unreadable";
  }
}

const char* OwnerName(int owner) {
  switch (owner) {
    case kOwnerBitTable: return "bit-table";
    case kOwnerDirectory: return "directory";
    case kOwnerExdir: return "extended-directory";
    case kOwnerFile: return "file";
    case kOwnerSystem: return "system-area";
    case kOwnerUnowned: return "unowned";
    default: return "free";
  }
}

std::string Format(const char* format, long a, long b = 0, long c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// A stored name as ASCII: other bytes as '?'.
std::string ShownName(int slot) {
  std::string name = StoredName(slot);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  return name;
}

std::string Entry(int slot) {
  return Format("slot %ld (row %ld, ", slot, RowOfSlot(slot)) + ShownName(slot) + ")";
}

std::string Sectors(int count) { return Format(count == 1 ? "%ld sector" : "%ld sectors", count); }
std::string Where(const CheckFinding& f) { return Format("Trk%02lX Sct%02lX", f.track, f.sector); }

std::string Describe(const CheckFinding& f, int64_t fileSize) {
  switch (f.kind) {
    case kCheckRunOutside:
      if (f.sector < 1 || f.sector > 16 || f.track > 83)
        return Entry(f.slot) + ": its data run starts at " + Where(f) +
               ", which is no sector of the volume";
      return Entry(f.slot) + ": its data run of " + Sectors(f.count) + " from " + Where(f) +
             " reaches outside tracks 2-83";
    case kCheckRunFree:
      return Entry(f.slot) + ": its data run covers " + Sectors(f.count) +
             " free in the bit table, the first at " + Where(f);
    case kCheckSharedSectors:
      return Entry(f.slot) + ": shares " + Sectors(f.count) + " from " + Where(f) + " with " +
             (f.otherSlot < 0 ? std::string("the extended directory") : Entry(f.otherSlot));
    case kCheckExdirFree:
      return "extended directory: covers " + Sectors(f.count) +
             " free in the bit table, the first at " + Where(f);
    case kCheckExdirOutside:
      return "extended directory: reaches " + Sectors(f.count) + " beyond track 83";
    case kCheckD88ShortHeader:
      return Format("D88 header: the file (%ld bytes) is shorter than the 688-byte header",
                    static_cast<long>(fileSize));
    case kCheckD88OffsetInHeader:
      return Format("D88 physical track %ld: its offset %08lX points into the header", f.track,
                    static_cast<long>(f.offset));
    case kCheckD88OffsetOutside:
      return Format("D88 physical track %ld: its offset %08lX points outside the file (%ld bytes)",
                    f.track, static_cast<long>(f.offset), static_cast<long>(fileSize));
    case kCheckD88RecordsOutside:
      return Format("D88 physical track %ld: its %ld records from offset %08lX run past the end",
                    f.track, f.count, static_cast<long>(f.offset)) +
             Format(" of the file (%ld bytes)", static_cast<long>(fileSize));
    case kCheckSectorsMissing: return "image: lacks " + Sectors(f.count) + " from " + Where(f);
    case kCheckSameName: {
      char text[256];
      std::snprintf(text, sizeof text, kCheckLineSameNameEn, ShownName(f.slot).c_str());
      return text;
    }
    case kCheckBadSector:
    case kCheckFreeMissing: {
      char text[512];
      ComposeCheckLine(f, f.slot >= 0 ? ShownName(f.slot).c_str() : "", "", text, sizeof text,
                       true);
      return text;
    }
    default: return "image: read error while checking";
  }
}

int64_t ImageSize(const std::string& path) {
  std::FILE* file = PlatformOpenHostFile(path.c_str(), "rb");
  if (!file) return -1;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fclose(file);
  return size;
}

// check --repair: the bit table mended from the directory after the report, asked first, in one
// change. `clean` is whether the check found nothing.
int RepairBitTable(bool clean, bool freeUnowned) {
  const VolumeView volume{Disk().volume.SystemArea, Disk().volume.DirectoryBuffer,
                          Disk().volume.EntryCount, Disk().volume.ExdirPresent,
                          Disk().volume.ExdirTrack, Disk().volume.ExdirSector};
  static uint8_t repaired[512];
  BitTableRepair repair;
  PlanBitTableRepair(volume, freeUnowned, repaired, &repair);
  if (repair.refused) {
    Report(kCaptionCheck, kMsgRepairRefused);
    return kExitFailed;
  }
  if (repair.marked == 0 && repair.freed == 0) {
    Report(kCaptionCheck, kMsgRepairNothing);
    return clean ? kExitOk : kExitFailed;
  }
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (RefuseChange(&out, &target) != 0) {
    PrintOutcome(out);
    return kExitFailed;
  }
  const int first = repair.marked > 0 ? repair.firstMarked : 0;
  char question[512], questionEn[512];
  std::snprintf(question, sizeof question, kMsgRepairConfirm, repair.marked, first / 16,
                first % 16 + 1, repair.freed);
  std::snprintf(questionEn, sizeof questionEn, kMsgRepairConfirmEn, repair.marked, first / 16,
                first % 16 + 1, repair.freed);
  if (!console::Ask(question, questionEn, kCaptionConfirm)) return kExitFailed;
  std::memcpy(Disk().volume.SystemArea, repaired, sizeof repaired);
  const int result = CommitVolumeChange(&out, &target, &Disk().volume, 0, true);
  if (result == 0) Say(&out, kCaptionCheck, kMsgRepairDone, repair.marked, repair.freed);
  return EndFileChange(result, out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace

namespace {

// One image: an exit code.
int CheckImage(const CheckOptions& options, const std::string& image, bool several) {
  console::Settings settings;
  settings.yes = options.yes;
  settings.interactive = options.repair && !options.yes && console::OnTerminal();
  StartSession(settings, options.mode, false);
  if (OpenImage(image, options.repair) != 0) {
    if (options.json) Print(OpenErrorLine(image));
    return kExitFailed;
  }

  std::vector<CheckFinding> items(kFindingCapacity);
  CheckFindings findings{items.data(), kFindingCapacity, 0};
  if (CheckLoadedVolume(&Disk().target, &Disk().volume, &findings) != 0) {
    console::Note(image + ": cannot read the image");
    return kExitFailed;
  }
  const int64_t fileSize = ImageSize(image);
  const int shown = findings.count < kFindingCapacity ? findings.count : kFindingCapacity;
  // Notes (a bad or missing sector that nothing needs) are told but leave the volume clean.
  int notes = 0;
  for (int i = 0; i < shown; ++i) notes += CheckFindingIsNote(items[i]);
  const int problems = findings.count - notes;

  if (options.json) {
    nlohmann::json out;
    out["image"] = console::ArgumentToUtf8(image);
    out["format"] = FormatName(Disk().format);
    out["mode"] = ModeName(Disk().target.machineMode);
    out["clean"] = problems == 0;
    out["count"] = problems;
    out["notes"] = notes;
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < shown; ++i) {
      const CheckFinding& f = items[i];
      nlohmann::json item;
      item["kind"] = KindName(f.kind);
      if (f.slot >= 0) {
        item["slot"] = f.slot;
        item["row"] = RowOfSlot(f.slot);
        item["name"] = ShownName(f.slot);
      }
      if (f.kind == kCheckSharedSectors || f.kind == kCheckSameName)
        item["other_slot"] = f.otherSlot;
      item["track"] = f.track;
      item["sector"] = f.sector;
      item["count"] = f.count;
      if (f.kind >= kCheckD88OffsetInHeader && f.kind <= kCheckD88RecordsOutside)
        item["offset"] = f.offset;
      if (f.kind == kCheckBadSector) item["owner"] = OwnerName(f.otherSlot);
      item["note"] = CheckFindingIsNote(f);
      item["text"] = Describe(f, fileSize);
      list.push_back(item);
    }
    out["findings"] = list;
    // JSON Lines: one object on one line per image.
    Print(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
  } else {
    std::string text = several ? image + ":\n" : "";
    text += FluxSummary(image);
    for (int i = 0; i < shown; ++i) text += Describe(items[i], fileSize) + "\n";
    if (findings.count > shown) text += Format("... and %ld more\n", findings.count - shown);
    if (problems == 0)
      text += "no inconsistencies found";
    else
      text +=
          Format(problems == 1 ? "%ld inconsistency found" : "%ld inconsistencies found", problems);
    if (notes > 0)
      text += Format(notes == 1 ? " (and %ld note on sectors nothing needs)"
                                : " (and %ld notes on sectors nothing needs)",
                     notes);
    text += "\n";
    Print(text);
  }
  if (options.repair) return RepairBitTable(problems == 0, options.freeUnowned);
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunCheck(const CheckOptions& options) {
  const bool several = options.images.size() > 1;
  int result = kExitOk;
  for (size_t i = 0; i < options.images.size(); ++i) {
    if (several && !options.json && i > 0) Print("\n");
    if (CheckImage(options, options.images[i], several) != kExitOk) result = kExitFailed;
  }
  return result;
}

Verb AddCheck(CLI::App& app) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command =
      app.add_subcommand("check", "Report every inconsistency of the volume; change nothing");
  AddMode(command, &options->mode);
  command->add_flag("--json", options->json, "Print one JSON object per image, one per line");
  command->add_flag("--repair", options->repair,
                    "Then mend the bit table from the directory (asked first, one change)");
  command->add_flag("--free-unowned", options->freeUnowned,
                    "With --repair: also free sectors of tracks 2-83 that no file owns");
  command->add_flag("--yes", options->yes, "With --repair: answer Yes, write the image");
  AddAnyConvention(command);
  command->add_option("IMAGE", options->images, "Disk images: " + ImageExtensionList())->required();
  return {command, [options]() {
            if (options->repair && options->images.size() > 1) {
              console::Note("check --repair mends one image at a time");
              return kExitUsage;
            }
            options->mode = Lower(options->mode);
            return RunCheck(*options);
          }};
}

}  // namespace cli
