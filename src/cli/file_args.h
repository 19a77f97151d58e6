// What the verbs that change files share (file_args.cpp): their options, the session, FILE
// arguments and the attributes they give.
#pragma once

#include <map>
#include <string>
#include <vector>

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
// FILE: "#N" (list row N), or a name as stored, as ls shows it or plain (PlainName), ASCII case
// ignored. The slot, or -1 after a note: no such file, or the #N of each file a name names.
int ResolveSlot(const std::string& file, const std::string& image);
// A used slot's name as the list shows it (code page 932, through TBL1).
std::string ShownName(int slot);
// A used slot's name as plain text (code page 932): letters and digits as stored, other bytes
// through TBL2; a byte that is no character of its own in code page 932 as '_'.
std::string PlainName(int slot);
// The host names zelvo exports the files of `slots` to by default, in order (code page 932): the
// plain name with '/', '\\' and the characters no host name may hold as '_', and ".TYP" (the
// type) when it has no extension; when two would be one name (case ignored), the later keeps its
// type extension as well.
std::vector<std::string> DefaultHostNames(const std::vector<int>& slots);
// The attribute dialog's fields as a user would type them; unset options stay as shown.
struct AttributeOptions {
  std::map<std::string, std::string> fields;  // "name", "type", "start", "exec", "date"
  bool lock = false;
  bool unlock = false;
};
// The options over the texts the attribute dialog shows, as a user would type them into it
// (TypeAttributeTexts, attribute_checks.h): each field in code page 932.
void ApplyAttributeOptions(const AttributeOptions& options, AttributeTexts* texts);
// The file in `slot` of the loaded volume given the attributes, after the confirmation: the checks
// of the attribute dialog, the question, then one change. An exit code.
int EditAttributesOfImage(int slot, const AttributeOptions& options);

}  // namespace cli
