// The file attribute dialog of the import, and its checks as a step of their own.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Control ids of dialog 104.
inline constexpr int kCtlName = 1000;
inline constexpr int kCtlType = 1001;
inline constexpr int kCtlLock = 1002;
inline constexpr int kCtlUnlock = 1003;
inline constexpr int kCtlStart = 1004;
inline constexpr int kCtlLength = 1006;
inline constexpr int kCtlExec = 1007;
inline constexpr int kCtlYear = 1008;
inline constexpr int kCtlMonth = 1009;
inline constexpr int kCtlDay = 1010;
inline constexpr int kCtlTrk = 1011;
inline constexpr int kCtlSct = 1012;

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

// What the dialog is opened for. The import's dialog (the default) fills a new entry; the edit
// mode shows App.PendingEntry as a copy of an existing file's slot. An import may replace a file
// of the same name: never (the duplicate-name message), after a question, or always.
enum ReplacePolicy { kReplaceNever, kReplaceAsk, kReplaceAlways };
void SetAttributeEditSlot(int slot);  // -1: the import's dialog
void SetReplacePolicy(ReplacePolicy policy);
ReplacePolicy CurrentReplacePolicy();
// After the import's dialog ended with OK: the slot of the file it replaces, or -1.
int ReplacedSlot();

// The C formatted-input conversion "%<width>X" over text: leading white space, optional sign,
// optional 0x/0X, hex digits, at most `width` characters after the white space. Returns 1 and
// *value when a number was converted, 0 when none was.
int ScanHex(const char* text, int width, int* value);

intptr_t AttributeDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam,
                             intptr_t lParam);
void InitAttributeDialog(WindowHandle dialog);
int ValidateAttributeDialog(WindowHandle dialog);
