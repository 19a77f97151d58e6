// zelvo export: one file of the image into a host file, or many into a folder, through the
// export operations.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/host_checks.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/host_files.h"
#include "texts/texts.h"
#include "transfer/batch_export.h"
#include "transfer/export.h"
#include "transfer/undelete.h"
#include "view/deleted_view.h"
#include "view/sector_owner.h"
#include "volume/layout.h"

namespace cli {
namespace {

// The used slot shown in list row `row`, or -1.
int SlotOfRow(int row) {
  for (int slot = 0; slot < Disk().volume.EntryCount; ++slot)
    if (RowOfSlot(slot) == row) return slot;
  return -1;
}

unsigned char LowerByte(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// '*' any run of bytes, '?' one byte, other bytes themselves with ASCII case ignored.
bool Matches(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (Matches(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern != '?' && LowerByte(static_cast<unsigned char>(*pattern)) !=
                             LowerByte(static_cast<unsigned char>(*name)))
    return false;
  return Matches(pattern + 1, name + 1);
}

bool IsRowNumber(const std::string& pattern) {
  return pattern.size() >= 2 && pattern[0] == '#' &&
         pattern.find_first_not_of("0123456789", 1) == std::string::npos;
}

void PrintWritten(const char* path) { PrintWrittenPath(path); }
// Each file that could not be exported, with why, as it happens.
void ReportFailed(int, const Outcome* why) { Report(*why); }

// The file of a used slot, as its list row shows it.
void FileOfSlot(int slot, ExportFile* file) {
  ExportFileOfEntry(Disk().volume.DirectoryBuffer + slot * kEntryBytes, Disk().tables.TBL1, file);
}

// The used slots in list order.
std::vector<int> UsedSlots() {
  std::vector<int> slots;
  for (int slot = 0; slot < Disk().volume.EntryCount; ++slot)
    if (RowOfSlot(slot) >= 0) slots.push_back(slot);
  return slots;
}

// Where the export of one file writes: HOSTPATH, or the file's default name (the plain one of
// DefaultHostNames for a file of the list, `slot`) made a host file name in the current folder.
// Empty when the name has no host form.
std::string ExportPath(const ExportOptions& options, const ExportFile& file, int slot) {
  if (!options.hostPath.empty()) return options.hostPath;
  char shown[kHostNameBytes];
  DefaultExportName(&file, shown);
  if (slot >= 0) {
    const std::vector<int> slots = UsedSlots();
    const std::vector<std::string> names = DefaultHostNames(slots);
    for (size_t i = 0; i < slots.size(); ++i)
      if (slots[i] == slot) std::snprintf(shown, sizeof shown, "%s", names[i].c_str());
  }
  char name[kHostNameBytes * 4];
  if (PlatformHostFileName(shown, name, sizeof name) != 0) return std::string();
  return name;
}

// Says of each exported file that holds bad or missing sectors which they are (the file was
// written as read); the number of such files.
int ReportDamage(const int* slots, int count) {
  auto health = std::make_unique<VolumeHealth>();
  auto damage = std::make_unique<FileDamage>();
  if (LoadedFileDamage(&Disk().target, &Disk().volume, health.get(), damage.get()) != 0 ||
      damage->files == 0)
    return 0;
  const VolumeView volume{Disk().volume.SystemArea, Disk().volume.DirectoryBuffer,
                          Disk().volume.EntryCount, Disk().volume.ExdirPresent,
                          Disk().volume.ExdirTrack, Disk().volume.ExdirSector};
  Outcome out;
  OutcomeClear(&out);
  int damaged = 0;
  for (int i = 0; i < count; ++i) {
    const int slot = slots[i];
    if (slot < 0 || slot >= kMaxSlots || damage->bad[slot] + damage->missing[slot] == 0) continue;
    damaged++;
    char list[1024], listEn[1024], text[1536], textEn[1536];
    ComposeFileDamage(volume, *health, slot, false, list, sizeof list);
    ComposeFileDamage(volume, *health, slot, true, listEn, sizeof listEn);
    const std::string name = PlainName(slot);
    std::snprintf(text, sizeof text, kMsgExportDamaged, name.c_str(), list);
    std::snprintf(textEn, sizeof textEn, kMsgExportDamagedEn, name.c_str(), listEn);
    SayText(&out, kCaptionError, kMsgExportDamaged, text, textEn);
  }
  Report(out);
  return damaged;
}

// Only one command runs at a time.
ExportFile Files[kMaxBatchRows];
char HostNames[kMaxBatchRows][kHostNameBytes];
BatchExportPlan Plan;

}  // namespace

int RunExportMany(const ExportOptions& options) {
  UseTextForm(options.text);
  console::Settings settings;
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;

  // The slots to export, in list order, each once, and their names.
  const std::vector<int> slots = UsedSlots();
  const std::vector<std::string> names = DefaultHostNames(slots);
  std::vector<bool> chosen(slots.size(), false);
  for (const std::string& pattern : options.patterns) {
    bool matched = false;
    if (IsRowNumber(pattern)) {
      const int slot =
          pattern.size() <= 10
              ? SlotOfRow(static_cast<int>(std::strtol(pattern.c_str() + 1, nullptr, 10)))
              : -1;
      if (slot >= 0) chosen[static_cast<size_t>(RowOfSlot(slot))] = matched = true;
    } else {
      const std::string name = console::ArgumentToCp932(pattern);
      for (size_t row = 0; row < slots.size(); ++row) {
        const int slot = slots[row];
        if (Matches(name.c_str(), StoredName(slot).c_str()) ||
            Matches(name.c_str(), ShownName(slot).c_str()) ||
            Matches(name.c_str(), PlainName(slot).c_str()))
          chosen[row] = matched = true;
      }
    }
    if (!matched) {
      console::Note(pattern + ": no such file in " + options.image + "; nothing written");
      return kExitFailed;
    }
  }
  if (options.all) chosen.assign(chosen.size(), true);
  int count = 0;
  for (size_t row = 0; row < slots.size() && count < kMaxBatchRows; ++row) {
    if (!chosen[row]) continue;
    std::snprintf(HostNames[count], kHostNameBytes, "%s", names[row].c_str());
    FileOfSlot(slots[row], &Files[count++]);
  }
  if (count == 0) {
    console::Note(options.image + " holds no file; nothing written");
    return kExitOk;
  }

  Outcome out;
  OutcomeClear(&out);
  if (PlanBatchExportNamed(HostNames, count, options.to.c_str(), &Plan, &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  const int existing = options.force ? -1 : FirstExistingBatchTarget(&Plan);
  if (existing >= 0) {
    SayBatchTargetExists(&Plan, existing, &out);
    Report(out);
    console::Note("pass --force to replace existing files");
    return kExitFailed;
  }
  ImageTarget target;
  target = Disk().target;
  const int result =
      WriteBatchExport(&target, Files, &Plan, Disk().transferMode == kTransferAscii,
                       Disk().tables.TBL2, PrintWritten, ReportFailed, &out, ShapeExportText);
  Report(out);
  std::vector<int> written;
  for (size_t row = 0; row < slots.size(); ++row)
    if (chosen[row]) written.push_back(slots[row]);
  const int damaged = ReportDamage(written.data(), static_cast<int>(written.size()));
  return result == 0 && damaged == 0 ? kExitOk : kExitFailed;
}

// FILE as "#dN": the deleted entry of that number. The file to export (its type text "DEL"), said
// on standard error with what it holds; -1 after a message when it has no data to give.
int DeletedFile(const std::string& text, ExportFile* file, Outcome* out) {
  static DeletedEntry entries[kMaxSlots];
  const int count = ListDeletedEntries(&Disk().volume, entries, kMaxSlots);
  const int number =
      text.size() <= 6 ? static_cast<int>(std::strtol(text.c_str() + 2, nullptr, 10)) : -1;
  if (number < 0 || number >= count) {
    Say(out, kCaptionError, kMsgUndeleteNoEntry, number);
    return -1;
  }
  const DeletedEntry& found = entries[number];
  char name[kCellCapacity], verdict[256], verdictEn[256];
  DeletedEntryName(&Disk().volume, Disk().tables.TBL1, found.slot, name, sizeof name);
  FormatDeletedVerdict(found, false, verdict, sizeof verdict);
  FormatDeletedVerdict(found, true, verdictEn, sizeof verdictEn);
  char said[kMessageCapacity], saidEn[kMessageCapacity];
  if (found.verdict == kDeletedLost) {
    std::snprintf(said, sizeof said, kMsgUndeleteRefused, name, verdict);
    std::snprintf(saidEn, sizeof saidEn, kMsgUndeleteRefusedEn, name, verdictEn);
    SayText(out, kCaptionError, kMsgUndeleteRefused, said, saidEn);
    return -1;
  }
  uint8_t entry[kEntryBytes];
  std::memcpy(entry, Disk().volume.DirectoryBuffer + found.slot * kEntryBytes, kEntryBytes);
  entry[kEntryType] = 1;
  ExportFileOfEntry(entry, Disk().tables.TBL1, file);
  std::snprintf(file->type, sizeof file->type, "DEL");
  std::snprintf(said, sizeof said, kMsgExportDeleted, name, verdict);
  std::snprintf(saidEn, sizeof saidEn, kMsgExportDeletedEn, name, verdictEn);
  SayText(out, kCaptionDeleted, kMsgExportDeleted, said, saidEn);
  return 0;
}

bool IsDeletedNumber(const std::string& file) {
  return file.size() >= 3 && file.compare(0, 2, "#d") == 0 &&
         file.find_first_not_of("0123456789", 2) == std::string::npos;
}

// HOSTPATH "-": the file's bytes alone on standard output.
int WriteToStandardOutput(const uint8_t* data, long length) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::fflush(stdout);
  const size_t written = std::fwrite(data, 1, static_cast<size_t>(length), stdout);
  if (std::fflush(stdout) != 0 || written != static_cast<size_t>(length)) {
    console::Note(std::string("standard output: ") + std::strerror(errno));
    return kExitFailed;
  }
  return kExitOk;
}

int RunExport(const ExportOptions& options) {
  UseTextForm(options.text);
  console::Settings settings;
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;

  Outcome out;
  OutcomeClear(&out);
  ExportFile file;
  int slot = -1;  // a file of the list (not a deleted one)
  if (IsDeletedNumber(options.file)) {
    const int result = DeletedFile(options.file, &file, &out);
    Report(out);
    OutcomeClear(&out);
    if (result != 0) return kExitFailed;
  } else {
    slot = ResolveSlot(options.file, options.image);
    if (slot < 0) return kExitFailed;
    FileOfSlot(slot, &file);
  }
  ImageTarget target;
  target = Disk().target;
  const uint8_t* data = nullptr;
  long length = 0;
  // The file is read before its host path is looked at: a read that fails writes nothing.
  if (ReadExportData(&target, &file, Disk().transferMode == kTransferAscii, Disk().tables.TBL2,
                     &data, &length, &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  if (Disk().transferMode == kTransferAscii) data = ShapeExportText(data, &length);
  if (options.hostPath == "-") {
    const int written = WriteToStandardOutput(data, length);
    return slot >= 0 && ReportDamage(&slot, 1) > 0 ? kExitFailed : written;
  }
  const std::string path = ExportPath(options, file, slot);
  if (path.empty()) return kExitFailed;
  // A host path the host itself takes.
  if (path.size() >= static_cast<size_t>(kPathCapacity)) {
    SayText(&out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
    Report(out);
    return kExitFailed;
  }
  if (console::HostPathKindOf(path) == console::HostPathKind::kFolder) {
    console::Note(path + ": " + std::strerror(EISDIR) +
                  ": give a file's path, or export into it with --to");
    return kExitFailed;
  }
  if (!options.force && console::HostPathKindOf(path) != console::HostPathKind::kNone) {
    console::Note(path + " already exists: pass --force to replace it");
    return kExitFailed;
  }
  if (WriteExportFile(path.c_str(), data, length, &out) != 0) {
    Report(out);
    return kExitFailed;
  }
  PrintWrittenPath(path);
  return slot >= 0 && ReportDamage(&slot, 1) > 0 ? kExitFailed : kExitOk;
}

Verb AddExport(CLI::App& app) {
  struct Options {
    ExportOptions ex;
    std::vector<std::string> args;  // FILE [HOSTPATH], or with --to the patterns
  };
  auto options = std::make_shared<Options>();
  ExportOptions& ex = options->ex;
  CLI::App* command = app.add_subcommand(
      "export",
      "Copy one file of the image into a host file (with --to: many files into a folder)");
  AddMode(command, &ex.mode);
  AddCodes(command, &ex.codes);
  CLI::Option* ascii = command->add_flag(
      "--ascii", ex.ascii,
      "Convert text through the code tables (written as UTF-8 with LF; see --encoding, --eol)");
  AddTextForm(command, ascii, &ex.text);
  command->add_flag("--force", ex.force,
                    "Replace an existing HOSTPATH (with --to: existing files)");
  command->add_option("--to", ex.to, "Export many files into this folder, each to NAME.TYPE")
      ->check(kExistingHostFolder)
      ->type_name("DIR");
  command->add_flag("--all", ex.all, "With --to: every file of the image");
  AddImage(command, &ex.image);
  command->add_option("FILE", options->args,
                      "FILE [HOSTPATH]: the file's name (as ls shows it, as stored or plain; "
                      "any case), #N for list row N, or #dN for deleted entry N (see ls "
                      "--deleted), and where to write "
                      "(default: the plain name, with .TYPE when it has no extension, in the "
                      "current folder; - for standard output); "
                      "with --to: PATTERN... (stored names, * and ? wildcards, #N)");
  command->callback([options] {
    ExportOptions& ex = options->ex;
    const std::vector<std::string>& args = options->args;
    if (ex.to.empty()) {
      if (ex.all) throw CLI::ValidationError("--all", "needs --to DIR");
      if (args.empty()) throw CLI::RequiredError("FILE");
      if (args.size() > 2) throw CLI::ExtrasError({args.begin() + 2, args.end()});
      ex.file = args[0];
      if (args.size() == 2) ex.hostPath = args[1];
    } else {
      if (ex.all == !args.empty())
        throw CLI::ValidationError("PATTERN", "give patterns or --all (not both)");
      ex.patterns = args;
    }
  });
  return {command, [options]() {
            ExportOptions& ex = options->ex;
            ex.mode = Lower(ex.mode);
            return ex.to.empty() ? RunExport(ex) : RunExportMany(ex);
          }};
}

}  // namespace cli
