// zelvo export: one file of the image into a host file, through the Export command.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/host_checks.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "flows/app_state.h"
#include "texts/texts.h"
#include "transfer/batch_export.h"
#include "transfer/export.h"
#include "volume/layout.h"

namespace cli {
namespace {

bool SameName(const std::string& stored, const std::string& wanted) {
  if (stored.size() != wanted.size()) return false;
  for (size_t i = 0; i < stored.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(stored[i]) != lower(wanted[i])) return false;
  }
  return true;
}

// FILE is "#N" (list row N) or a stored name; the row, or -1.
int ResolveRow(const std::string& file) {
  const int rowCount = static_cast<int>(console::Rows().size());
  if (file.size() >= 2 && file[0] == '#' &&
      file.find_first_not_of("0123456789", 1) == std::string::npos) {
    if (file.size() > 10) return -1;
    const long row = std::strtol(file.c_str() + 1, nullptr, 10);
    return row < rowCount ? static_cast<int>(row) : -1;
  }
  for (int slot = 0; slot < App.EntryCount; ++slot) {
    if (App.DirectoryBuffer[slot * kEntryBytes + kEntryType] == 0) continue;
    if (SameName(StoredName(slot), file)) {
      const int row = RowOfSlot(slot);
      return row < rowCount ? row : -1;
    }
  }
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

void PrintWritten(const char* path) { Print(std::string(path) + "\n"); }

}  // namespace

int RunExportMany(const ExportOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;

  // The rows to export, in list order, each once.
  const int rowCount = static_cast<int>(console::Rows().size());
  std::vector<bool> chosen(static_cast<size_t>(rowCount), false);
  for (const std::string& pattern : options.patterns) {
    bool matched = false;
    if (IsRowNumber(pattern)) {
      const int row = ResolveRow(pattern);
      if (row >= 0) chosen[static_cast<size_t>(row)] = matched = true;
    } else {
      for (int slot = 0; slot < App.EntryCount; ++slot) {
        const int row = RowOfSlot(slot);
        if (row < 0 || row >= rowCount) continue;
        const std::string name = console::ArgumentToCp932(pattern);
        if (Matches(name.c_str(), StoredName(slot).c_str()))
          chosen[static_cast<size_t>(row)] = matched = true;
      }
    }
    if (!matched) {
      console::Note(pattern + ": no such file in " + options.image + "; nothing written");
      return kExitFailed;
    }
  }
  if (options.all) chosen.assign(chosen.size(), true);
  std::vector<int> rows;
  for (int row = 0; row < rowCount; ++row)
    if (chosen[static_cast<size_t>(row)]) rows.push_back(row);
  if (rows.empty()) {
    console::Note(options.image + " holds no file; nothing written");
    return kExitOk;
  }
  const int result = ExportRowsToFolder(
      console::kMainWindow, rows.data(), static_cast<int>(rows.size()), options.to.c_str(),
      options.force ? HostReplacePolicy::kReplace : HostReplacePolicy::kRefuse, PrintWritten);
  const std::string exists(kMsgBatchTargetExists, std::string(kMsgBatchTargetExists).find("(%s)"));
  if (result != 0 && !console::Boxes().empty() &&
      console::Boxes().back().text.compare(0, exists.size(), exists) == 0)
    console::Note("pass --force to replace existing files");
  return result == 0 ? kExitOk : kExitFailed;
}

int RunExport(const ExportOptions& options) {
  console::Settings settings;
  settings.force = options.force;
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;

  const int row = ResolveRow(options.file);
  if (row < 0) {
    console::Note(options.file + ": no such file in " + options.image);
    return kExitFailed;
  }
  if (options.hostPath.empty())
    console::QueueFileAnswer({"", true});
  else
    console::QueueFileAnswer({options.hostPath, false});
  const size_t boxesBefore = console::Boxes().size();
  ExportSelectedFile(console::kMainWindow, row);
  // The export shows nothing when it succeeds.
  if (console::Boxes().size() != boxesBefore || !console::SaveDialogConfirmed()) return kExitFailed;
  Print(console::SavedPath() + "\n");
  return kExitOk;
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
  command->add_flag("--ascii", ex.ascii, "Convert text through the code tables");
  command->add_flag("--force", ex.force,
                    "Replace an existing HOSTPATH (with --to: existing files)");
  command->add_option("--to", ex.to, "Export many files into this folder, each to NAME.TYPE")
      ->check(kExistingHostFolder)
      ->type_name("DIR");
  command->add_flag("--all", ex.all, "With --to: every file of the image");
  AddImage(command, &ex.image);
  command->add_option("FILE", options->args,
                      "FILE [HOSTPATH]: the file's name as stored (any case), or #N for list "
                      "row N, and where to write (default: NAME.TYPE in the current folder); "
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
