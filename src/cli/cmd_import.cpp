// zelvo import: a host file into the image, through the Import command and its dialog.
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/host_checks.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "flows/attribute_dialog.h"
#include "texts/texts.h"
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

Verb AddImport(CLI::App& app) {
  struct Options {
    ImportOptions im;
    // The attribute dialog's fields: whether each was given.
    CLI::Option* name = nullptr;
    CLI::Option* type = nullptr;
    CLI::Option* start = nullptr;
    CLI::Option* exec = nullptr;
    CLI::Option* date = nullptr;
  };
  auto options = std::make_shared<Options>();
  ImportOptions& im = options->im;
  CLI::App* command =
      app.add_subcommand("import", "Copy host files of at most 65535 bytes each into the image");
  AddMode(command, &im.mode);
  AddCodes(command, &im.codes);
  command->add_flag("--ascii", im.ascii, "Convert text through the code tables");
  command->add_flag("--yes", im.yes, "Answer the confirmation with Yes: write the image");
  options->name =
      command->add_option("--name", im.name, "File name (default: the host file's name)");
  options->type =
      command->add_option("--type", im.type, "OBJ (default), TEX, CMD, REL, SCD or RDD");
  options->start = command->add_option("--start", im.start, "Start address, 4 hex digits (1500)");
  options->exec = command->add_option("--exec", im.exec, "Execution address, 4 hex digits (0000)");
  options->date = command->add_option("--date", im.date, "YY/MM/DD (today)");
  command->add_flag("--lock", im.lock, "Lock the file");
  command->add_flag("--replace", im.replace,
                    "Replace a file of the same name (a locked one is refused)");
  options->name->type_name("NAME");
  options->type->type_name("TYPE");
  options->start->type_name("XXXX");
  options->exec->type_name("XXXX");
  options->date->type_name("YY/MM/DD");
  AddImage(command, &im.image);
  command
      ->add_option("HOSTFILE", im.hostFiles,
                   "The host files to import (several: in one transaction, with the defaults)")
      ->required()
      ->check(kExistingHostFile);
  command->callback([options] {
    Options& o = *options;
    if (o.im.hostFiles.size() > 1 &&
        (o.name->count() || o.type->count() || o.start->count() || o.exec->count() ||
         o.date->count() || o.im.lock || o.im.replace))
      throw CLI::ValidationError("--name, --type, --start, --exec, --date, --lock, --replace",
                                 "only with a single HOSTFILE");
    o.im.hostFile = o.im.hostFiles.front();
  });
  return {command, [options]() {
            ImportOptions& im = options->im;
            im.mode = Lower(im.mode);
            im.hasName = options->name->count() > 0;
            im.hasType = options->type->count() > 0;
            im.hasStart = options->start->count() > 0;
            im.hasExec = options->exec->count() > 0;
            im.hasDate = options->date->count() > 0;
            return RunImport(im);
          }};
}

}  // namespace cli
