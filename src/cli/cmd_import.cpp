// zelvo import: host files into the image through the import's operations, the attribute
// options given to the checks as the texts a user would type.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/host_checks.h"
#include "cli/import_support.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/convention_guard.h"
#include "transfer/edit_attributes.h"
#include "transfer/import.h"
#include "volume/layout.h"

namespace cli {
namespace {

constexpr int kTypeTex = 2;  // the type list's TEX

// Prints a step's messages and passes its result on.
int Printed(Outcome* out, int result) {
  Report(*out);
  OutcomeClear(out);
  return result;
}

// The attribute checks' result, printed; a refused name is followed by the option that helps.
int CheckPrinted(Outcome* out, int result) {
  const char* format = result != 0 && out->count > 0 ? out->messages[out->count - 1].format : "";
  Printed(out, result);
  if (format == kMsgNameDuplicate)
    console::Note("pass --replace to replace the file of that name, or give another with --name");
  else if (format == kMsgNameTooLong || format == kMsgNameBadChar)
    console::Note("give a name the volume can hold with --name (at most 16 characters)");
  return result;
}

#ifdef _WIN32
constexpr const char* kHostSeparators = "/\\";
#else
constexpr const char* kHostSeparators = "/";
#endif

// The name an import stores when the host file's name does not fit, said before the question.
void SayCutName(const std::string& hostFile, const uint8_t* entry) {
  const size_t slash = hostFile.find_last_of(kHostSeparators);
  const std::string base = slash == std::string::npos ? hostFile : hostFile.substr(slash + 1);
  std::string stored;
  for (int i = 0; i < kEntryNameMax && entry[kEntryName + i] != 0x0D && entry[kEntryName + i] != 0;
       ++i)
    stored += static_cast<char>(entry[kEntryName + i]);
  if (console::ArgumentToCp932(base) != stored)
    console::Info(base + ": stored as " + console::Cp932ToUtf8(stored));
}

bool Confirmed() { return console::Ask(kMsgImportConfirm, nullptr, kCaptionConfirm); }

// After a change the volume is loaded again: a journal left behind is settled first.
void Reload(const ImageTarget* target) {
  Outcome out;
  OutcomeClear(&out);
  if (RecoverImageJournal(&out, target) == 0) RereadVolume(target, &Disk().volume, &out);
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

// A replace keeps the replaced file's type, addresses and lock where no option gives new ones;
// the date stays the import's (today, or --date). True when a file of the name exists.
bool KeepReplacedAttributes(const ImportOptions& options, const uint8_t* entry,
                            AttributeTexts* texts) {
  uint8_t scratch[kEntryBytes];
  std::memcpy(scratch, entry, kEntryBytes);
  Outcome ignored;
  OutcomeClear(&ignored);
  int replaced = -1;
  if (CheckImportAttributes(*texts, kReplaceAlways, &Disk().volume, scratch, &replaced, &ignored) !=
          0 ||
      replaced < 0)
    return false;
  AttributeTexts kept;
  ShownAttributeTexts(Disk().volume.DirectoryBuffer + replaced * kEntryBytes, &kept);
  if (!options.hasType) texts->typeItem = kept.typeItem;
  if (!options.hasStart) std::memcpy(texts->start, kept.start, sizeof texts->start);
  if (!options.hasExec) std::memcpy(texts->exec, kept.exec, sizeof texts->exec);
  if (!options.lock) texts->lockSelected = kept.lockSelected;
  return true;
}

// Starts a change of the record's image: loaded, not write-protected. 0, or -1 after a message.
int StartImport(const ImageTarget* target, Outcome* out) {
  if (!Disk().loaded) {
    SayText(out, kCaptionError, kMsgImportNotReady, kMsgImportNotReady);
    return Printed(out, -1);
  }
  return Printed(out, RefuseChange(out, target));
}

// Several host files in one transaction, each with the attribute dialog's defaults.
int ImportMany(const ImportOptions& options) {
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (StartImport(&target, &out) != 0) return kExitFailed;
  if (Printed(&out, RereadVolume(&target, &Disk().volume, &out)) != 0) return kExitFailed;
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
    if (Printed(&out, StageImportFile(&target, &Disk().volume, path, Disk().transferMode,
                                      Disk().tables.TBL3, date, false, entry, &plan, &out,
                                      DecodeImportText)) != 0)
      return kExitFailed;
    AttributeTexts texts;
    DefaultAttributeTexts(entry, &texts);
    if (options.ascii) texts.typeItem = AttributeTypeName(kTypeTex);
    if (options.hasDate) {
      AttributeOptions date;
      date.fields["date"] = options.date;
      ApplyAttributeOptions(date, &texts);
    }
    int duplicate = -1;
    if (CheckPrinted(&out, CheckImportAttributes(texts, kReplaceNever, &Disk().volume, entry,
                                                 &duplicate, &out)) != 0) {
      console::Note(options.hostFiles[i] + ": refused by the attribute checks; nothing written");
      return kExitFailed;
    }
    SayCutName(options.hostFiles[i], entry);
    if (Printed(&out, PlaceImportFile(&target, &Disk().volume, path, -1, entry, &plan, &runs[i],
                                      &out)) != 0)
      return kExitFailed;
  }
  if (!Confirmed()) return kExitFailed;
  bool begun = false;
  const int written =
      Printed(&out, WriteImportFiles(&target, &Disk().volume, runs, count, &begun, &out));
  if (begun) Reload(&target);
  if (written != 0) return kExitFailed;
  Say(&out, kCaptionSuccess, kMsgBatchImportSucceeded, count);
  return Printed(&out, kExitOk);
}

constexpr long kMostHostBytes = 65535;  // a host file of more is refused as too big

// HOSTFILE "-": standard input read to its end into the import's data buffer and converted as a
// host file's data is; its length, or -1 after the read's message.
long ReadStandardInput(Outcome* out) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  uint8_t* data = ImportData();
  long length = 0;
  char rest[4096];
  for (;;) {
    const size_t room = length < kMostHostBytes + 1
                            ? static_cast<size_t>(kMostHostBytes + 1 - length)
                            : sizeof rest;
    uint8_t* into = length < kMostHostBytes + 1 ? data + length : reinterpret_cast<uint8_t*>(rest);
    const size_t got = std::fread(into, 1, room < sizeof rest ? room : sizeof rest, stdin);
    if (got == 0) break;
    length += static_cast<long>(got);
  }
  if (std::ferror(stdin)) {
    console::Note(std::string("standard input: ") + std::strerror(errno));
    return -1;
  }
  char message[128], messageEn[128];
  const char* format = message;
  if (length > kMostHostBytes) {
    Say(out, kCaptionError, kMsgFileTooBig, length);
    return Printed(out, -1);
  }
  if (length == 0) {
    SayText(out, kCaptionError, kMsgFileEmpty, kMsgFileEmpty);
    return Printed(out, -1);
  }
  length = ConvertImportData(length, Disk().transferMode, Disk().tables.TBL3, message,
                             sizeof message, messageEn, &format, DecodeImportText);
  if (length < 0) SayText(out, kCaptionError, format, message, messageEn);
  return Printed(out, length < 0 ? -1 : 0) != 0 ? -1 : length;
}

int ImportOne(const ImportOptions& options) {
  // A host path the host itself takes.
  Outcome out;
  OutcomeClear(&out);
  if (options.hostFile.size() >= kPathCapacity) {
    SayText(&out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
    return Printed(&out, kExitFailed);
  }
  ImageTarget target;
  target = Disk().target;
  if (StartImport(&target, &out) != 0) return kExitFailed;
  const char* path = options.hostFile.c_str();
  if (options.hostFile.empty()) return kExitFailed;
  const bool fromInput = options.hostFile == "-";
  if (!fromInput && !IsRegularHostFile(options.hostFile)) {
    console::Note(options.hostFile + ": no such file");
    return kExitFailed;
  }
  const long length = fromInput ? ReadStandardInput(&out)
                                : ReadImportFile(path, Disk().transferMode, Disk().tables.TBL3,
                                                 &out, DecodeImportText);
  if (Printed(&out, length < 0 ? -1 : 0) != 0) return kExitFailed;
  char date[9];
  PlatformLocalDate(date);
  uint8_t entry[kEntryBytes];
  ImportPlan plan;
  if (Printed(&out, PlanImport(&target, &Disk().volume, path, length, options.replace, date, entry,
                               &plan, &out)) != 0)
    return kExitFailed;
  AttributeTexts texts;
  DefaultAttributeTexts(entry, &texts);
  if (options.ascii) texts.typeItem = AttributeTypeName(kTypeTex);
  ApplyAttributeOptions(AttributesFrom(options), &texts);
  const bool replacing = options.replace && KeepReplacedAttributes(options, entry, &texts);
  int replaced = -1;
  if (CheckPrinted(&out,
                   CheckImportAttributes(texts, options.replace ? kReplaceAlways : kReplaceNever,
                                         &Disk().volume, entry, &replaced, &out)) != 0)
    return kExitFailed;
  if (!options.hasName) SayCutName(options.hostFile, entry);
  if (Printed(&out, PlaceImport(&target, &Disk().volume, replaced, entry, &plan, &out)) != 0)
    return kExitFailed;
  if (!Confirmed()) return kExitFailed;
  if (Printed(&out, WriteImport(&target, &Disk().volume, plan, &out)) != 0) return kExitFailed;
  Reload(&target);
  SayText(&out, kCaptionSuccess, kMsgImportSucceeded, kMsgImportSucceeded);
  Printed(&out, kExitOk);
  if (replacing) console::Info(std::string("replaced ") + console::Cp932ToUtf8(texts.name));
  return kExitOk;
}

}  // namespace

int RunImport(const ImportOptions& options) {
  console::Settings settings;
  settings.yes = options.yes;
  // Standard input that carries the data cannot answer the question as well.
  settings.interactive = !options.yes && console::OnTerminal() && options.hostFile != "-";
  StartSession(settings, options.mode, options.ascii);
  UseTextForm(options.text);
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
  CLI::Option* ascii = command->add_flag(
      "--ascii", im.ascii,
      "Convert text through the code tables (UTF-8 or code page 932, LF or CR LF; type TEX)");
  AddTextForm(command, ascii, &im.text);
  command->add_flag("--yes", im.yes, "Answer the confirmation with Yes: write the image");
  AddAnyConvention(command);
  options->name =
      command->add_option("--name", im.name, "File name (default: the host file's name)");
  options->type = command->add_option("--type", im.type,
                                      "OBJ (default; TEX with --ascii), TEX, CMD, REL, SCD or RDD");
  options->start = command->add_option(
      "--start", im.start, "Start address, up to 4 hex digits (or 0x1200, 1200h) (1500)");
  options->exec = command->add_option(
      "--exec", im.exec, "Execution address, up to 4 hex digits (or 0x1200, 1200h) (0000)");
  options->date = command->add_option(
      "--date", im.date, "YY/MM/DD, also for several files (today, or SOURCE_DATE_EPOCH's day)");
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
      ->add_option(
          "HOSTFILE", im.hostFiles,
          "The host files to import (several: in one transaction, with the defaults; - for "
          "standard input, with --name)")
      ->required()
      ->check(CLI::Validator(
          [](std::string& path) { return path == "-" ? std::string() : kExistingHostFile(path); },
          "FILE"));
  command->callback([options] {
    Options& o = *options;
    if (o.im.hostFiles.size() > 1 && (o.name->count() || o.type->count() || o.start->count() ||
                                      o.exec->count() || o.im.lock || o.im.replace))
      throw CLI::ValidationError("--name, --type, --start, --exec, --lock, --replace",
                                 "only with a single HOSTFILE");
    for (const std::string& file : o.im.hostFiles)
      if (file == "-" && (o.im.hostFiles.size() > 1 || !o.name->count()))
        throw CLI::ValidationError("HOSTFILE -",
                                   "standard input is one file and needs --name NAME");
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
