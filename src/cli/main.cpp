// zelvo: list, export, import and check Zelvo disk images, and create new ones, from the command
// line.
#include <CLI/CLI.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/host_checks.h"
#include "cli/verbs.h"
#include "zelvo_version.h"

namespace {

std::string Lower(std::string text);

void AddDisk(CLI::App* command) {
  command
      ->add_option("--disk", cli::Choice().disk,
                   "Disk of a D88 file that holds several, from 0 (default: 0)")
      ->check(CLI::NonNegativeNumber)
      ->type_name("N");
}

// --mode and --disk: how every command chooses the volume of its image.
void AddMode(CLI::App* command, std::string* mode) {
  command
      ->add_option("--mode", *mode,
                   "Recording convention: mz (default), pc, or auto (what identify finds)")
      ->check(CLI::IsMember({"mz", "pc", "auto"}, CLI::ignore_case))
      ->type_name("mz|pc|auto")
      ->each([](const std::string& value) { cli::Choice().mode = Lower(value); });
  AddDisk(command);
}

void AddCodes(CLI::App* command, std::string* codes) {
  command
      ->add_option("--codes", *codes,
                   "Code conversion file (default: CodeChg.txt beside the executable, else in "
                   "../share/zelvo/ relative to it)")
      ->type_name("FILE");
}

// A missing or unreadable image is no typing error but a failed read: the Open command reports
// it with the reader's own message (exit 1), so the argument is not checked here.
void AddImage(CLI::App* command, std::string* image) {
  command->add_option("IMAGE", *image, "Disk image: " + cli::ImageExtensionList())->required();
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

}  // namespace

void cli::AddModeOptions(CLI::App* command, std::string* mode) { AddMode(command, mode); }

int main(int argc, char** argv) {
  // The arguments as UTF-8 on every system (read as UTF-16 on Windows).
  std::vector<std::string> args;
  if (!console::StartUp(argc, argv, &args)) return cli::kExitUsage;
  std::vector<const char*> argPointers;
  for (const std::string& arg : args) argPointers.push_back(arg.c_str());

  CLI::App app{
      "List, export, import, delete, rename and check the files of Zelvo disk images;\n"
      "create new images.",
      "zelvo"};
  app.set_version_flag("--version", "zelvo " ZELVO_VERSION);
  app.require_subcommand(1);
  // Options are written --name everywhere: a path that begins with '/' is never an option, also
  // on Windows (subcommands inherit this setting when they are added).
  app.allow_windows_style_options(false);
  app.footer(
      "Exit codes: 0 success, 1 refused or failed (a message was shown), 2 wrong usage.\n"
      "Run 'zelvo COMMAND --help' for the options of a command.");

  // Only the command named first is built when it is one of ours (most of a short run's time
  // would otherwise go into building the options of every command); otherwise all of them are,
  // for the overall help and the usage messages.
  static const char* const kCommands[] = {"ls",    "identify", "export", "import", "new",
                                          "check", "rm",       "rename", "attr"};
  std::string named = argPointers.size() > 1 ? argPointers[1] : "";
  bool known = false;
  for (const char* command : kCommands) known = known || named == command;
  auto wanted = [&](const char* command) { return !known || named == command; };

  cli::LsOptions ls;
  CLI::App* lsCommand = nullptr;
  if (wanted("ls")) {
    lsCommand = app.add_subcommand("ls", "Show the volume information and the files");
    AddMode(lsCommand, &ls.mode);
    AddCodes(lsCommand, &ls.codes);
    lsCommand->add_flag("--json", ls.json, "Print one JSON object per image, one per line");
    lsCommand->add_option("IMAGE", ls.images, "Disk images: " + cli::ImageExtensionList())
        ->required();
  }

  cli::IdentifyOptions id;
  CLI::App* identifyCommand = nullptr;
  if (wanted("identify")) {
    identifyCommand = app.add_subcommand(
        "identify", "Tell the layout and the recording convention of images, with the reasons");
    AddDisk(identifyCommand);
    identifyCommand->add_flag("--json", id.json, "Print one JSON object per image, one per line");
    identifyCommand->add_option("IMAGE", id.images, "Disk images (any extension)")->required();
  }

  cli::ExportOptions ex;
  std::vector<std::string> exportArgs;
  CLI::App* exportCommand = nullptr;
  if (wanted("export")) {
    exportCommand = app.add_subcommand(
        "export",
        "Copy one file of the image into a host file (with --to: many files into a folder)");
    AddMode(exportCommand, &ex.mode);
    AddCodes(exportCommand, &ex.codes);
    exportCommand->add_flag("--ascii", ex.ascii, "Convert text through the code tables");
    exportCommand->add_flag("--force", ex.force,
                            "Replace an existing HOSTPATH (with --to: existing files)");
    exportCommand
        ->add_option("--to", ex.to, "Export many files into this folder, each to NAME.TYPE")
        ->check(cli::kExistingHostFolder)
        ->type_name("DIR");
    exportCommand->add_flag("--all", ex.all, "With --to: every file of the image");
    AddImage(exportCommand, &ex.image);
    exportCommand->add_option(
        "FILE", exportArgs,
        "FILE [HOSTPATH]: the file's name as stored (any case), or #N for list "
        "row N, and where to write (default: NAME.TYPE in the current folder); "
        "with --to: PATTERN... (stored names, * and ? wildcards, #N)");
    exportCommand->callback([&] {
      if (ex.to.empty()) {
        if (ex.all) throw CLI::ValidationError("--all", "needs --to DIR");
        if (exportArgs.empty()) throw CLI::RequiredError("FILE");
        if (exportArgs.size() > 2)
          throw CLI::ExtrasError({exportArgs.begin() + 2, exportArgs.end()});
        ex.file = exportArgs[0];
        if (exportArgs.size() == 2) ex.hostPath = exportArgs[1];
      } else {
        if (ex.all == !exportArgs.empty())
          throw CLI::ValidationError("PATTERN", "give patterns or --all (not both)");
        ex.patterns = exportArgs;
      }
    });
  }

  cli::ImportOptions im;
  CLI::App* importCommand = nullptr;
  CLI::Option* name = nullptr;
  CLI::Option* type = nullptr;
  CLI::Option* start = nullptr;
  CLI::Option* exec = nullptr;
  CLI::Option* date = nullptr;
  if (wanted("import")) {
    importCommand =
        app.add_subcommand("import", "Copy host files of at most 65535 bytes each into the image");
    AddMode(importCommand, &im.mode);
    AddCodes(importCommand, &im.codes);
    importCommand->add_flag("--ascii", im.ascii, "Convert text through the code tables");
    importCommand->add_flag("--yes", im.yes, "Answer the confirmation with Yes: write the image");
    name =
        importCommand->add_option("--name", im.name, "File name (default: the host file's name)");
    type = importCommand->add_option("--type", im.type, "OBJ (default), TEX, CMD, REL, SCD or RDD");
    start = importCommand->add_option("--start", im.start, "Start address, 4 hex digits (1500)");
    exec = importCommand->add_option("--exec", im.exec, "Execution address, 4 hex digits (0000)");
    date = importCommand->add_option("--date", im.date, "YY/MM/DD (today)");
    importCommand->add_flag("--lock", im.lock, "Lock the file");
    importCommand->add_flag("--replace", im.replace,
                            "Replace a file of the same name (a locked one is refused)");
    name->type_name("NAME");
    type->type_name("TYPE");
    start->type_name("XXXX");
    exec->type_name("XXXX");
    date->type_name("YY/MM/DD");
    AddImage(importCommand, &im.image);
    importCommand
        ->add_option("HOSTFILE", im.hostFiles,
                     "The host files to import (several: in one transaction, with the defaults)")
        ->required()
        ->check(cli::kExistingHostFile);
    importCommand->callback([&] {
      if (im.hostFiles.size() > 1 && (name->count() || type->count() || start->count() ||
                                      exec->count() || date->count() || im.lock || im.replace))
        throw CLI::ValidationError("--name, --type, --start, --exec, --date, --lock, --replace",
                                   "only with a single HOSTFILE");
      im.hostFile = im.hostFiles.front();
    });
  }

  cli::NewOptions nw;
  CLI::App* newCommand = wanted("new") ? cli::RegisterNew(&app, &nw) : nullptr;

  cli::CheckOptions ck;
  CLI::App* checkCommand = nullptr;
  if (wanted("check")) {
    checkCommand =
        app.add_subcommand("check", "Report every inconsistency of the volume; change nothing");
    AddMode(checkCommand, &ck.mode);
    checkCommand->add_flag("--json", ck.json, "Print one JSON object");
    AddImage(checkCommand, &ck.image);
  }

  // Verbs that register their own options: one line each.
  const struct {
    const char* name;
    cli::VerbFactory add;
  } kVerbs[] = {
      {"rm", cli::AddRm},
      {"rename", cli::AddRename},
      {"attr", cli::AddAttr},
  };
  std::vector<cli::Verb> verbs;
  for (const auto& verb : kVerbs)
    if (wanted(verb.name)) verbs.push_back(verb.add(app));

  try {
    app.parse(static_cast<int>(argPointers.size()), argPointers.data());
  } catch (const CLI::ParseError& e) {
    // Help and usage errors go out like every other text (they may quote an argument).
    std::ostringstream out, err;
    const int code = app.exit(e, out, err);
    console::WriteOut(out.str());
    console::WriteErr(err.str());
    return code == 0 ? cli::kExitOk : cli::kExitUsage;
  }

  for (const cli::Verb& verb : verbs)
    if (*verb.command) return verb.run();
  if (lsCommand && *lsCommand) {
    ls.mode = Lower(ls.mode);
    return cli::RunLs(ls);
  }
  if (identifyCommand && *identifyCommand) return cli::RunIdentify(id);
  if (exportCommand && *exportCommand) {
    ex.mode = Lower(ex.mode);
    return ex.to.empty() ? cli::RunExport(ex) : cli::RunExportMany(ex);
  }
  if (newCommand && *newCommand) {
    nw.mode = Lower(nw.mode);
    nw.likeMode = Lower(nw.likeMode);
    return cli::RunNew(nw);
  }
  if (importCommand && *importCommand) {
    im.mode = Lower(im.mode);
    im.hasName = name->count() > 0;
    im.hasType = type->count() > 0;
    im.hasStart = start->count() > 0;
    im.hasExec = exec->count() > 0;
    im.hasDate = date->count() > 0;
    return cli::RunImport(im);
  }
  ck.mode = Lower(ck.mode);
  return cli::RunCheck(ck);
}
