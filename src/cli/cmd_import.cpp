// zelvo import: a host file into the image, through the Import command and its dialog.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/verbs.h"
#include "texts/texts.h"
#include "flows/attribute_dialog.h"
#include "transfer/batch_import.h"
#include "transfer/import.h"
#include "volume/app_state.h"

namespace cli {
namespace {

// What a user would type into the attribute dialog.
console::DialogInput DialogInputFrom(const ImportOptions& options) {
  AttributeOptions attributes;
  if (options.hasName) attributes.fields["name"] = options.name;
  if (options.hasType) attributes.fields["type"] = options.type;
  if (options.hasStart) attributes.fields["start"] = options.start;
  if (options.hasExec) attributes.fields["exec"] = options.exec;
  if (options.hasDate) attributes.fields["date"] = options.date;
  attributes.lock = options.lock;
  return DialogInputFor(attributes);
}

// Several host files in one transaction, each with the attribute dialog's defaults.
int ImportMany(const ImportOptions& options) {
  std::vector<const char*> paths;
  for (const std::string& file : options.hostFiles) paths.push_back(file.c_str());
  console::SetDialogInput({});
  int failed = -1;
  if (ImportHostFiles(console::kMainWindow, paths.data(), static_cast<int>(paths.size()),
                      &failed) == 0)
    return kExitOk;
  if (failed >= 0 && console::DialogRefused())
    console::Note(options.hostFiles[failed] + ": refused by the attribute checks; nothing written");
  return kExitFailed;
}

}  // namespace

int RunImport(const ImportOptions& options) {
  console::Settings settings;
  settings.yes = options.yes;
  settings.interactive = !options.yes && console::OnTerminal();
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image) != 0) return kExitFailed;
  if (options.hostFiles.size() > 1) return ImportMany(options);

  // The import's dialog takes a path of up to 259 bytes and fails silently beyond.
  if (options.hostFile.size() >= kPathCapacity) {
    PlatformMessageBox(console::kMainWindow, kMsgPathTooLong, kCaptionError, kMbOk);
    return kExitFailed;
  }
  console::QueueFileAnswer({options.hostFile, false});
  console::SetDialogInput(DialogInputFrom(options));
  SetReplacePolicy(options.replace ? kReplaceAlways : kReplaceNever);
  ImportHostFile(console::kMainWindow);
  for (const console::Box& box : console::Boxes())
    if (box.text == kMsgImportSucceeded && box.caption == kCaptionSuccess) return kExitOk;
  return kExitFailed;
}

}  // namespace cli
