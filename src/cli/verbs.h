// Verbs that register their own options: each cmd_*.cpp adds its subcommand to the parser and
// gives back what runs when it is chosen; main.cpp lists them in one table.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cli {

struct Verb {
  CLI::App* command;
  std::function<int()> run;
};
using VerbFactory = Verb (*)(CLI::App& app);

Verb AddRm(CLI::App& app);
Verb AddRename(CLI::App& app);
Verb AddAttr(CLI::App& app);

// --- Shared by the verbs that change files (file_args.cpp) ---

// The options every changing verb takes.
struct ChangeOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool yes = false;
};
void AddChangeOptions(CLI::App* command, ChangeOptions* options);
// --mode (mz, pc or auto) and --disk, as every command takes them (main.cpp).
void AddModeOptions(CLI::App* command, std::string* mode);
// Session, code tables and the Open command for a changing verb; 0, or -1 after a message.
int StartChange(const ChangeOptions& options);
// FILE as for export: "#N" (list row N) or a stored name (ASCII case ignored). The slot, or -1
// after a note.
int ResolveSlot(const std::string& file, const std::string& image);
// The attribute dialog's fields as a user would type them; unset options stay as shown.
struct AttributeOptions {
  std::map<std::string, std::string> fields;  // "name", "type", "start", "exec", "date"
  bool lock = false;
  bool unlock = false;
};
console::DialogInput DialogInputFor(const AttributeOptions& options);

}  // namespace cli
