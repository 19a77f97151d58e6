// The checks of a file's attributes (name, type, addresses, date, lock) as the attribute dialog
// applies them, over the texts a user typed: a pure step, used by the dialog and by zelvo alike.
#pragma once

#include <cstdint>

inline constexpr int kControlTextCapacity = 255;  // at most 254 characters are read per control

// The texts the checks read from the dialog.
struct AttributeTexts {
  char name[kControlTextCapacity];
  const char* typeItem;  // text of the selected list item of the type combo box; null for none
  char start[kControlTextCapacity];
  char exec[kControlTextCapacity];
  char year[kControlTextCapacity];
  char month[kControlTextCapacity];
  char day[kControlTextCapacity];
  bool lockSelected;
};

// Outcome of a failed check: the message box to show.
struct AttributeCheckFailure {
  char text[256];
  char textEn[256];    // the same in English
  const char* format;  // the table text it was formatted from
  const char* caption;
};

// Runs the checks in order over `texts`; writes `entry` (a 32-byte DirEntry) as far as they pass.
// 0 on success; -1 with *failure filled.
int CheckAttributeTexts(const AttributeTexts& texts, const uint8_t* directory, int entryCount,
                        uint8_t* entry, AttributeCheckFailure* failure);

// How the checks differ from the import's when the dialog edits an existing file or may replace
// one. The defaults are the import's checks.
struct AttributeCheckRules {
  int ownSlot = -1;                 // the duplicate-name check ignores this slot
  const char* shownName = nullptr;  // a name text equal to this keeps the entry's name bytes
  bool entryOrder = false;          // Start and Exec in the entry's own byte order
  bool lockClears = false;          // "unlock" stores 0
  int* duplicateSlot = nullptr;     // when set, a used name is no failure: its slot lands here
};
int CheckAttributeTextsWith(const AttributeTexts& texts, const AttributeCheckRules& rules,
                            const uint8_t* directory, int entryCount, uint8_t* entry,
                            AttributeCheckFailure* failure);

// The C formatted-input conversion "%<width>X" over text: leading white space, optional sign,
// optional 0x/0X, hex digits, at most `width` characters after the white space. Returns 1 and
// *value when a number was converted, 0 when none was.
int ScanHex(const char* text, int width, int* value);
// The three letters of a type byte (1 OBJ ... 6 RDD), or null for any other byte.
const char* AttributeTypeName(int type);

// An import may replace a file of the same name: never (the duplicate-name message), after a
// question, or always.
enum ReplacePolicy { kReplaceNever, kReplaceAsk, kReplaceAlways };

// What a user types into the attribute dialog (code page 932), for the front ends that have no
// dialog: a null field is left as the dialog shows it.
struct TypedAttributes {
  const char* name = nullptr;
  const char* type = nullptr;   // the list item of that name (ASCII case ignored), else none
  const char* start = nullptr;  // hex, also as 0x1200 or 1200h
  const char* exec = nullptr;
  const char* date = nullptr;  // YY/MM/DD into the three fields (what is missing stays empty)
  const char* year = nullptr;  // or the three fields one by one
  const char* month = nullptr;
  const char* day = nullptr;
  int lock = -1;  // 1: the lock button chosen, 0: the unlock button, -1: as shown
};
// Types `typed` over the texts the dialog shows: each field at most as long as the dialog reads
// it back, for the checks to judge.
void TypeAttributeTexts(const TypedAttributes& typed, AttributeTexts* texts);
