// What the verbs that change files share (file_args.cpp): their options, the session, FILE
// arguments and the attribute dialog's input.
#pragma once

#include <map>
#include <string>

#include "cli/cli.h"

namespace CLI {
class App;
}

namespace cli {

// The options every changing verb takes.
struct ChangeOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool yes = false;
};
void AddChangeOptions(CLI::App* command, ChangeOptions* options);
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
