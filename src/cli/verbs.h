// zelvo's verbs: each cmd_<verb>.cpp adds its subcommand and options to the parser and gives
// back what runs when it is chosen; verb_table.cpp lists them all in one table.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace cli {

struct Verb {
  CLI::App* command;
  std::function<int()> run;  // the exit code
};
using VerbFactory = Verb (*)(CLI::App& app);

Verb AddLs(CLI::App& app);
Verb AddIdentify(CLI::App& app);
Verb AddExport(CLI::App& app);
Verb AddImport(CLI::App& app);
Verb AddNew(CLI::App& app);
Verb AddCheck(CLI::App& app);
Verb AddRm(CLI::App& app);
Verb AddRename(CLI::App& app);
Verb AddAttr(CLI::App& app);
Verb AddUndelete(CLI::App& app);
Verb AddSectors(CLI::App& app);
Verb AddConvert(CLI::App& app);
Verb AddJoin(CLI::App& app);
Verb AddPatch(CLI::App& app);
Verb AddUnpack(CLI::App& app);
Verb AddPack(CLI::App& app);
Verb AddCopy(CLI::App& app);

struct VerbRow {
  const char* name;  // as typed, and as the verb's factory names its subcommand
  VerbFactory add;
};
// Every verb, in the order the help lists them.
extern const VerbRow kVerbTable[];
extern const int kVerbCount;
// The row of a verb named exactly so, or null.
const VerbRow* FindVerb(const char* name);
// The verb a mistyped or foreign command word most likely means, or null.
const char* SuggestVerb(const char* typed);

}  // namespace cli
