// zelvo import: host files into the image through the import's operations, the attribute
// options given to the checks as the texts a user would type.
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/host_checks.h"
#include "cli/import_support.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "flows/app_image.h"
#include "flows/app_state.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/convention_guard.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace cli {
namespace {

// Prints a step's messages and passes its result on.
int Printed(Outcome* out, int result) {
  Report(*out);
  OutcomeClear(out);
  return result;
}

bool Confirmed() {
  return PlatformMessageBox(console::kMainWindow, kMsgImportConfirm, kCaptionConfirm,
                            kMbYesNo | kMbIconQuestion) == kIdYes;
}

// After a change the volume is loaded again: a journal left behind is settled first.
void Reload(const ImageTarget* target) {
  Outcome out;
  OutcomeClear(&out);
  if (RecoverImageJournal(&out, App.ImagePath) == 0) RereadVolume(target, &App, &out);
  Report(out);
}

AttributeOptions AttributesFrom(const ImportOptions& options) {
  AttributeOptions attributes;
  if (options.hasName) attributes.fields["name"] = options.name;
  if (options.hasType) attributes.fields["type"] = options.type;
  if (options.hasStart) attributes.fields["start"] = options.start;
  if (options.hasExec) attributes.fields["exec"] = options.exec;
  if (options.hasDate) attributes.fields["date"] = options.date;
  attributes.lock = options.lock;
  return attributes;
}

// Starts a change of App's image: loaded, not write-protected. 0, or -1 after a message.
int StartImport(const ImageTarget* target, Outcome* out) {
  if (!App.VolumeLoaded) {
    SayText(out, kCaptionError, kMsgImportNotReady, kMsgImportNotReady);
    return Printed(out, -1);
  }
  return Printed(out, RefuseChange(out, target));
}

// Several host files in one transaction, each with the attribute dialog's defaults.
int ImportMany(const ImportOptions& options) {
  ImageTarget target;
  AppImageTarget(&target);
  Outcome out;
  OutcomeClear(&out);
  if (StartImport(&target, &out) != 0) return kExitFailed;
  if (Printed(&out, RereadVolume(&target, &App, &out)) != 0) return kExitFailed;
  static SectorRun runs[kMaxImportFiles];
  const int count = static_cast<int>(options.hostFiles.size());
  for (int i = 0; i < count; i++) {
    const char* path = options.hostFiles[i].c_str();
    if (i >= kMaxImportFiles) {
      SayImportRefused(&out, kMsgDirectoryFull, path);
      return Printed(&out, kExitFailed);
    }
    char date[9];
    PlatformLocalDate(date);
    uint8_t entry[kEntryBytes];
    ImportPlan plan;
    if (Printed(&out, StageImportFile(&target, &App, path, App.TransferMode, App.Tables.TBL3, date,
                                      false, entry, &plan, &out)) != 0)
      return kExitFailed;
    AttributeTexts texts;
    DefaultAttributeTexts(entry, &texts);
    int duplicate = -1;
    if (Printed(&out, CheckImportAttributes(texts, kReplaceNever, &App, entry, &duplicate, &out)) !=
        0) {
      console::Note(options.hostFiles[i] + ": refused by the attribute checks; nothing written");
      return kExitFailed;
    }
    if (Printed(&out, PlaceImportFile(&target, &App, path, -1, entry, &plan, &runs[i], &out)) != 0)
      return kExitFailed;
  }
  if (!Confirmed()) return kExitFailed;
  bool begun = false;
  const int written = Printed(&out, WriteImportFiles(&target, &App, runs, count, &begun, &out));
  if (begun) Reload(&target);
  if (written != 0) return kExitFailed;
  RecordListingForTests();
  Say(&out, kCaptionSuccess, kMsgBatchImportSucceeded, count);
  return Printed(&out, kExitOk);
}

int ImportOne(const ImportOptions& options) {
  // The import's open dialog takes a path of up to 259 bytes.
  Outcome out;
  OutcomeClear(&out);
  if (options.hostFile.size() >= kPathCapacity) {
    SayText(&out, kCaptionError, kMsgPathTooLong, kMsgPathTooLong);
    return Printed(&out, kExitFailed);
  }
  ImageTarget target;
  AppImageTarget(&target);
  if (StartImport(&target, &out) != 0) return kExitFailed;
  const char* path = options.hostFile.c_str();
  if (options.hostFile.empty()) return kExitFailed;
  if (!IsRegularHostFile(options.hostFile)) {
    console::Note(options.hostFile + ": no such file");
    return kExitFailed;
  }
  const long length = ReadImportFile(path, App.TransferMode, App.Tables.TBL3, &out);
  if (Printed(&out, length < 0 ? -1 : 0) != 0) return kExitFailed;
  char date[9];
  PlatformLocalDate(date);
  uint8_t entry[kEntryBytes];
  ImportPlan plan;
  if (Printed(&out, PlanImport(&target, &App, path, length, options.replace, date, entry, &plan,
                               &out)) != 0)
    return kExitFailed;
  AttributeTexts texts;
  DefaultAttributeTexts(entry, &texts);
  TypeIntoAttributeTexts(AttributesFrom(options), &texts);
  int replaced = -1;
  if (Printed(&out, CheckImportAttributes(texts, options.replace ? kReplaceAlways : kReplaceNever,
                                          &App, entry, &replaced, &out)) != 0)
    return kExitFailed;
  if (Printed(&out, PlaceImport(&target, &App, replaced, entry, &plan, &out)) != 0)
    return kExitFailed;
  if (!Confirmed()) return kExitFailed;
  if (Printed(&out, WriteImport(&target, &App, plan, &out)) != 0) return kExitFailed;
  Reload(&target);
  RecordListingForTests();
  SayText(&out, kCaptionSuccess, kMsgImportSucceeded, kMsgImportSucceeded);
  return Printed(&out, kExitOk);
}

}  // namespace

int RunImport(const ImportOptions& options) {
  console::Settings settings;
  settings.yes = options.yes;
  settings.interactive = !options.yes && console::OnTerminal();
  StartSession(settings, options.mode, options.ascii);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (OpenImage(options.image, true) != 0) return kExitFailed;
  return options.hostFiles.size() > 1 ? ImportMany(options) : ImportOne(options);
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
  AddAnyConvention(command);
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
