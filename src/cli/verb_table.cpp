// The table of zelvo's verbs: one row each, in the order the help lists them.
#include <cstring>

#include "cli/verbs.h"

namespace cli {

const VerbRow kVerbTable[] = {
    {"ls", AddLs},     {"identify", AddIdentify}, {"export", AddExport},   {"import", AddImport},
    {"new", AddNew},   {"check", AddCheck},       {"rm", AddRm},           {"rename", AddRename},
    {"attr", AddAttr}, {"undelete", AddUndelete}, {"sectors", AddSectors}, {"convert", AddConvert},
    {"join", AddJoin}, {"patch", AddPatch},
};
const int kVerbCount = static_cast<int>(sizeof kVerbTable / sizeof kVerbTable[0]);

const VerbRow* FindVerb(const char* name) {
  for (const VerbRow& row : kVerbTable)
    if (std::strcmp(row.name, name) == 0) return &row;
  return nullptr;
}

}  // namespace cli
