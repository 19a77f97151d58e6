// zelvo copy: files of one image into another with all their attributes, in one change of DST.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "transfer/copy_files.h"

namespace cli {
namespace {

struct CopyOptions {
  std::string source;
  std::string target;
  std::vector<std::string> names;
  std::string mode;
  std::string toMode;
  int toDisk = -1;
  std::string codes;
  bool all = false;
  bool replace = false;
};

int RunCopy(const CopyOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, false);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  if (options.names.empty() != options.all) {
    console::Note(options.all ? "give either --all or names, not both"
                              : "name the files to copy, or pass --all");
    return kExitUsage;
  }
  if (options.source == options.target) {
    console::Note(options.target + ": the source and the target are one image; nothing written");
    return kExitFailed;
  }
  // The source, only read.
  if (OpenImage(options.source) != 0) return kExitFailed;
  std::vector<int> slots;
  if (options.all) {
    for (int k = 0; k < Disk().volume.EntryCount && k < kMaxSlots; k++)
      if (Disk().volume.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) slots.push_back(k);
  } else {
    for (const std::string& name : options.names) {
      const int slot = ResolveSlot(name, options.source);
      if (slot < 0) return kExitFailed;
      slots.push_back(slot);
    }
  }
  auto work = std::make_unique<CopyWork>();
  Outcome out;
  OutcomeClear(&out);
  // The source's record stays open beside the target's.
  const std::unique_ptr<OpenDisk> source = TakeDisk();
  if (ReadCopyFiles(&source->target, &source->volume, slots.data(), static_cast<int>(slots.size()),
                    work.get(), &out) != 0) {
    Report(out);
    return kExitFailed;
  }

  // The target, under its own convention and disk.
  const int sourceMode = source->target.machineMode;
  Choice().mode = Lower(options.toMode);
  Choice().disk = options.toDisk;
  Disk().target.machineMode = options.toMode.empty()          ? sourceMode
                              : Lower(options.toMode) == "pc" ? kModePc
                                                              : kModeMz;
  if (OpenImage(options.target, true) != 0) return kExitFailed;
  const int result = WriteCopyFiles(&Disk().target, &Disk().volume, *work, options.replace, &out);
  if (result == 0) {
    Say(&out, kCaptionSuccess, kMsgCopySucceeded, work->count);
  }
  Report(out);
  return result == 0 ? kExitOk : kExitFailed;
}

}  // namespace

Verb AddCopy(CLI::App& app) {
  auto options = std::make_shared<CopyOptions>();
  CLI::App* command = app.add_subcommand(
      "copy", "Copy files of SRC into DST with all their attributes, in one change of DST");
  AddMode(command, &options->mode);
  command
      ->add_option("--to-mode", options->toMode,
                   "Convention of DST: mz, pc or auto (default: identify's)")
      ->check(CLI::IsMember({"mz", "pc", "auto"}, CLI::ignore_case))
      ->type_name("mz|pc|auto");
  command
      ->add_option("--to-disk", options->toDisk, "Disk of DST, when it holds several (default: 0)")
      ->check(CLI::NonNegativeNumber)
      ->type_name("N");
  AddCodes(command, &options->codes);
  AddAnyConvention(command);
  command->add_flag("--all", options->all, "Copy every file of SRC");
  command->add_flag("--replace", options->replace, "Replace a file of the same name in DST");
  command->add_option("SRC", options->source, "The image to copy from: " + ImageExtensionList())
      ->required();
  command->add_option("DST", options->target, "The image to copy into")->required();
  command->add_option("NAME", options->names, "Files of SRC: names as ls shows them, or #N");
  return {command, [options]() { return RunCopy(*options); }};
}

}  // namespace cli
