// zelvo: list, export, import and check Zelvo disk images, and create new ones, from the command
// line.
#include <CLI/CLI.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/verbs.h"
#include "zelvo_version.h"

namespace {

// Help and usage errors go out like every other text (they may quote an argument): 0 after the
// help or the version, 2 after wrong usage.
int Finish(CLI::App& app, const CLI::Error& error) {
  std::ostringstream out, err;
  const int code = app.exit(error, out, err);
  console::WriteOut(out.str());
  console::WriteErr(err.str());
  return code == 0 ? cli::kExitOk : cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments as UTF-8 on every system (read as UTF-16 on Windows).
  std::vector<std::string> args;
  if (!console::StartUp(argc, argv, &args)) return cli::kExitUsage;
  // The language of the messages, chosen once.
  std::string warning;
  console::SetLanguage(console::ChooseLanguage(&warning));
  if (!warning.empty()) console::Note(warning);
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

  // Only the verb named first is built when it is one of ours (most of a short run's time would
  // otherwise go into building the options of every verb); otherwise all of them are, for the
  // overall help and the usage messages.
  const cli::VerbRow* named = argPointers.size() > 1 ? cli::FindVerb(argPointers[1]) : nullptr;
  if (argPointers.size() > 1 && !named && argPointers[1][0] != '-') {
    const char* meant = cli::SuggestVerb(argPointers[1]);
    console::Note(std::string("unknown command '") + argPointers[1] + "'" +
                  (meant ? std::string(" (did you mean '") + meant + "'?)"
                         : std::string(" (run 'zelvo --help' for the commands)")));
    return cli::kExitUsage;
  }
  std::vector<cli::Verb> verbs;
  for (int i = 0; i < cli::kVerbCount; ++i)
    if (!named || named == &cli::kVerbTable[i]) verbs.push_back(cli::kVerbTable[i].add(app));

  try {
    app.parse(static_cast<int>(argPointers.size()), argPointers.data());
  } catch (const CLI::ParseError& e) {
    return Finish(app, e);
  }
  for (const cli::Verb& verb : verbs)
    if (*verb.command) return verb.run();
  // The parser requires one verb, and every verb it knows is in `verbs`: not reached. Should it
  // be, it is wrong usage, never some verb run by default.
  return Finish(app, CLI::RequiredError::Subcommand(1));
}
