// What the verbs that change files share (file_args.cpp): their options, the session, FILE
// arguments and the attributes they give.
#pragma once

#include <map>
#include <string>

#include "cli/cli.h"
#include "transfer/attribute_checks.h"

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
// The options over the texts the attribute dialog shows, as a user would type them into it.
void ApplyAttributeOptions(const AttributeOptions& options, AttributeTexts* texts);
// The file in `slot` of the loaded volume given the attributes, after the confirmation: the checks
// of the attribute dialog, the question, then one change. An exit code.
int EditAttributesOfImage(int slot, const AttributeOptions& options);

}  // namespace cli
