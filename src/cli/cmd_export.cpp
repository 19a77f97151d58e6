// zelvo export: one file of the image into a host file, through the Export command.
#include <cstdlib>
#include <string>

#include "cli/cli.h"
#include "transfer/export.h"
#include "volume/app_state.h"
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

}  // namespace

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

}  // namespace cli
