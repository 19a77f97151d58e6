// zelvo: list, export, import and check Zelvo disk images from the command line.
#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli.h"
#include "zelvo_version.h"

namespace {

void AddMode(CLI::App* command, std::string* mode) {
  command->add_option("--mode", *mode, "Recording convention: mz (default) or pc")
      ->check(CLI::IsMember({"mz", "pc"}, CLI::ignore_case))
      ->type_name("mz|pc");
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
  command->add_option("IMAGE", *image, "Disk image: .2d, .d20, .d88 or .d77")->required();
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"List, export, import and check the files of Zelvo disk images.", "zelvo"};
  app.set_version_flag("--version", "zelvo " ZELVO_VERSION);
  app.require_subcommand(1);
  // Options are written --name everywhere: a path that begins with '/' is never an option, also
  // on Windows (subcommands inherit this setting when they are added).
  app.allow_windows_style_options(false);
  app.footer(
      "Exit codes: 0 success, 1 refused or failed (a message was shown), 2 wrong usage.\n"
      "Run 'zelvo COMMAND --help' for the options of a command.");

  cli::LsOptions ls;
  CLI::App* lsCommand = app.add_subcommand("ls", "Show the volume information and the files");
  AddMode(lsCommand, &ls.mode);
  AddCodes(lsCommand, &ls.codes);
  lsCommand->add_flag("--json", ls.json, "Print one JSON object");
  AddImage(lsCommand, &ls.image);

  cli::ExportOptions ex;
  CLI::App* exportCommand =
      app.add_subcommand("export", "Copy one file of the image into a host file");
  AddMode(exportCommand, &ex.mode);
  AddCodes(exportCommand, &ex.codes);
  exportCommand->add_flag("--ascii", ex.ascii, "Convert text through the code tables");
  exportCommand->add_flag("--force", ex.force, "Replace an existing HOSTPATH");
  AddImage(exportCommand, &ex.image);
  exportCommand
      ->add_option("FILE", ex.file, "The file's name as stored (any case), or #N for list row N")
      ->required();
  exportCommand->add_option("HOSTPATH", ex.hostPath,
                            "Where to write (default: NAME.TYPE in the current folder)");

  cli::ImportOptions im;
  CLI::App* importCommand =
      app.add_subcommand("import", "Copy a host file of at most 65535 bytes into the image");
  AddMode(importCommand, &im.mode);
  AddCodes(importCommand, &im.codes);
  importCommand->add_flag("--ascii", im.ascii, "Convert text through the code tables");
  importCommand->add_flag("--yes", im.yes, "Answer the confirmation with Yes: write the image");
  CLI::Option* name =
      importCommand->add_option("--name", im.name, "File name (default: the host file's name)");
  CLI::Option* type =
      importCommand->add_option("--type", im.type, "OBJ (default), TEX, CMD, REL, SCD or RDD");
  CLI::Option* start =
      importCommand->add_option("--start", im.start, "Start address, 4 hex digits (1500)");
  CLI::Option* exec =
      importCommand->add_option("--exec", im.exec, "Execution address, 4 hex digits (0000)");
  CLI::Option* date = importCommand->add_option("--date", im.date, "YY/MM/DD (today)");
  importCommand->add_flag("--lock", im.lock, "Lock the file");
  name->type_name("NAME");
  type->type_name("TYPE");
  start->type_name("XXXX");
  exec->type_name("XXXX");
  date->type_name("YY/MM/DD");
  AddImage(importCommand, &im.image);
  importCommand->add_option("HOSTFILE", im.hostFile, "The host file to import")
      ->required()
      ->check(CLI::ExistingFile);

  cli::CheckOptions ck;
  CLI::App* checkCommand =
      app.add_subcommand("check", "Report every inconsistency of the volume; change nothing");
  AddMode(checkCommand, &ck.mode);
  checkCommand->add_flag("--json", ck.json, "Print one JSON object");
  AddImage(checkCommand, &ck.image);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? cli::kExitOk : cli::kExitUsage;
  }

  if (*lsCommand) {
    ls.mode = Lower(ls.mode);
    return cli::RunLs(ls);
  }
  if (*exportCommand) {
    ex.mode = Lower(ex.mode);
    return cli::RunExport(ex);
  }
  if (*importCommand) {
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
