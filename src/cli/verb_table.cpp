// The table of zelvo's verbs: one row each, in the order the help lists them.
#include <algorithm>
#include <cstring>

#include "cli/verbs.h"

namespace cli {

const VerbRow kVerbTable[] = {
    {"ls", AddLs},     {"identify", AddIdentify}, {"export", AddExport},   {"import", AddImport},
    {"new", AddNew},   {"check", AddCheck},       {"rm", AddRm},           {"rename", AddRename},
    {"attr", AddAttr}, {"undelete", AddUndelete}, {"sectors", AddSectors}, {"convert", AddConvert},
    {"join", AddJoin}, {"patch", AddPatch},       {"unpack", AddUnpack},   {"pack", AddPack},
    {"copy", AddCopy},
};
const int kVerbCount = static_cast<int>(sizeof kVerbTable / sizeof kVerbTable[0]);

const VerbRow* FindVerb(const char* name) {
  for (const VerbRow& row : kVerbTable)
    if (std::strcmp(row.name, name) == 0) return &row;
  return nullptr;
}

namespace {

// Words people type for a verb under the names other tools give it.
struct OtherName {
  const char* typed;
  const char* verb;
};
const OtherName kOtherNames[] = {
    {"list", "ls"},       {"dir", "ls"},       {"get", "export"},   {"extract", "export"},
    {"put", "import"},    {"add", "import"},   {"create", "new"},   {"format", "new"},
    {"del", "rm"},        {"delete", "rm"},    {"remove", "rm"},    {"mv", "rename"},
    {"ren", "rename"},    {"verify", "check"}, {"fsck", "check"},   {"restore", "undelete"},
    {"info", "identify"}, {"merge", "join"},   {"dump", "sectors"},
};

// Edits (insert, delete, replace one byte) that turn a into b; short words only.
int Distance(const char* a, const char* b) {
  const size_t n = std::strlen(a), m = std::strlen(b);
  if (n > 15 || m > 15) return 99;
  int row[16];
  for (size_t j = 0; j <= m; ++j) row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= n; ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= m; ++j) {
      const int above = row[j];
      const int replace = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, replace});
      diagonal = above;
    }
  }
  return row[m];
}

}  // namespace

const char* SuggestVerb(const char* typedWord) {
  char typed[16] = {};
  for (int i = 0; i < 15 && typedWord[i]; ++i)
    typed[i] = typedWord[i] >= 'A' && typedWord[i] <= 'Z' ? typedWord[i] + 32 : typedWord[i];
  if (std::strlen(typedWord) > 15) return nullptr;
  for (const OtherName& other : kOtherNames)
    if (std::strcmp(other.typed, typed) == 0) return other.verb;
  const char* best = nullptr;
  int bestDistance = 3;  // at most two edits away
  for (const VerbRow& row : kVerbTable) {
    const int d = Distance(typed, row.name);
    if (d < bestDistance && d < static_cast<int>(std::strlen(row.name))) {
      best = row.name;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace cli
