// The file attribute dialog of the import and of a file's attributes.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "transfer/attribute_checks.h"

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

// What the dialog is opened for. The import's dialog (the default) fills a new entry; the edit
// mode shows App.PendingEntry as a copy of an existing file's slot; an import may replace a file
// of the same name as the policy says.
void SetAttributeEditSlot(int slot);  // -1: the import's dialog
void SetReplacePolicy(ReplacePolicy policy);
ReplacePolicy CurrentReplacePolicy();
// After the import's dialog ended with OK: the slot of the file it replaces, or -1.
int ReplacedSlot();

intptr_t AttributeDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam,
                             intptr_t lParam);
void InitAttributeDialog(WindowHandle dialog);
int ValidateAttributeDialog(WindowHandle dialog);
