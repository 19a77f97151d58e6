#include "flows/attribute_dialog.h"

#include <cstdio>
#include <cstring>

#include "flows/app_state.h"
#include "flows/show_outcome.h"
#include "texts/texts.h"
#include "transfer/import.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace {

int EditSlot = -1;
ReplacePolicy Replace = kReplaceNever;
int Replaced = -1;
// The name text as the edit mode's dialog showed it, read back from the control.
char ShownName[kControlTextCapacity];
uint8_t ShownNameBytes[kEntryNameMax];  // the entry's name bytes when the dialog opened

void SetHexText(WindowHandle dialog, int id, const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  DlgSetItemText(dialog, id, text);
}

}  // namespace

void SetAttributeEditSlot(int slot) { EditSlot = slot; }
void SetReplacePolicy(ReplacePolicy policy) { Replace = policy; }
ReplacePolicy CurrentReplacePolicy() { return Replace; }
int ReplacedSlot() { return Replaced; }

void InitAttributeDialog(WindowHandle dialog) {
  const uint8_t* entry = App.PendingEntry;
  const bool edit = EditSlot >= 0;
  Replaced = -1;
  char name[kEntryNameMax + 1] = {};
  // The import's name ends at its 0x00 padding; a stored name also ends at 0x0D.
  for (int i = 0; i < kEntryNameMax && entry[kEntryName + i] != 0x00 &&
                  !(edit && entry[kEntryName + i] == 0x0D);
       ++i)
    name[i] = static_cast<char>(entry[kEntryName + i]);
  DlgSetItemText(dialog, kCtlName, name);
  if (edit) {
    DlgGetItemText(dialog, kCtlName, ShownName, kControlTextCapacity);
    std::memcpy(ShownNameBytes, entry + kEntryName, kEntryNameMax);
  }
  if (edit) {
    SetHexText(dialog, kCtlStart, "%04X", EntryStart(entry));
    SetHexText(dialog, kCtlExec, "%04X", EntryExec(entry));
    SetHexText(dialog, kCtlLength, "%04X", EntryLength(entry));
  } else {
    SetHexText(dialog, kCtlStart, "%04X", entry[kEntryStart] + 256u * entry[kEntryStart + 1]);
    SetHexText(dialog, kCtlExec, "%04X", entry[kEntryExec] + 256u * entry[kEntryExec + 1]);
    SetHexText(dialog, kCtlLength, "%04X", entry[kEntryLength] + 256u * entry[kEntryLength + 1]);
  }
  SetHexText(dialog, kCtlYear, "%02X", entry[kEntryDate]);
  SetHexText(dialog, kCtlMonth, "%02X", entry[kEntryDate + 1]);
  SetHexText(dialog, kCtlDay, "%02X", entry[kEntryDate + 2]);
  SetHexText(dialog, kCtlTrk, "%02X", entry[kEntryTrk]);
  SetHexText(dialog, kCtlSct, "%02X", entry[kEntrySct]);
  const bool locked = entry[kEntryLock] != 0;
  DlgCheckButton(dialog, kCtlLock, locked);
  DlgCheckButton(dialog, kCtlUnlock, !locked);
  for (int type = 1; AttributeTypeName(type); type++)
    DlgComboAppend(dialog, kCtlType, AttributeTypeName(type));
  DlgComboSetSelection(dialog, kCtlType, entry[kEntryType] - 1);
}

int ValidateAttributeDialog(WindowHandle dialog) {
  AttributeTexts texts;
  DlgGetItemText(dialog, kCtlName, texts.name, kControlTextCapacity);
  DlgGetItemText(dialog, kCtlStart, texts.start, kControlTextCapacity);
  DlgGetItemText(dialog, kCtlExec, texts.exec, kControlTextCapacity);
  DlgGetItemText(dialog, kCtlYear, texts.year, kControlTextCapacity);
  DlgGetItemText(dialog, kCtlMonth, texts.month, kControlTextCapacity);
  DlgGetItemText(dialog, kCtlDay, texts.day, kControlTextCapacity);
  char typeItem[256];
  const int selected = DlgComboSelection(dialog, kCtlType);
  texts.typeItem = nullptr;
  if (selected >= 0) {
    DlgComboItemText(dialog, kCtlType, selected, typeItem);
    texts.typeItem = typeItem;
  }
  texts.lockSelected = DlgIsButtonChecked(dialog, kCtlLock);

  if (EditSlot < 0) {
    // The import's checks and its replace policy; the question is the dialog's own.
    Outcome out;
    OutcomeClear(&out);
    int duplicate = -1;
    const int checked =
        CheckImportAttributes(texts, Replace, &App, App.PendingEntry, &duplicate, &out);
    ShowOutcome(dialog, &out);
    if (checked != 0) return -1;
    Replaced = -1;
    if (duplicate >= 0) {
      if (Replace == kReplaceAsk && PlatformMessageBox(dialog, kMsgReplaceQuestion, kCaptionConfirm,
                                                       kMbYesNo | kMbIconQuestion) != kIdYes)
        return -1;
      Replaced = duplicate;
    }
    return 0;
  }
  AttributeCheckRules rules;
  rules.ownSlot = EditSlot;
  rules.shownName = ShownName;
  rules.entryOrder = true;
  rules.lockClears = true;
  // A refused OK may have written part of a new name: a name left as shown keeps the old bytes.
  std::memcpy(App.PendingEntry + kEntryName, ShownNameBytes, kEntryNameMax);
  AttributeCheckFailure failure;
  if (CheckAttributeTextsWith(texts, rules, App.DirectoryBuffer, App.EntryCount, App.PendingEntry,
                              &failure) != 0) {
    PlatformMessageBox(dialog, App.English ? failure.textEn : failure.text, failure.caption, kMbOk);
    return -1;
  }
  Replaced = -1;
  return 0;
}

intptr_t AttributeDialogProc(WindowHandle dialog, unsigned message, uintptr_t wParam,
                             intptr_t /*lParam*/) {
  if (message == kWmInitDialog) {
    InitAttributeDialog(dialog);
    // A file's own attributes and a restore start in the name; the import's dialog on OK.
    if (EditSlot < 0) return 1;
    DlgSetFocus(dialog, kCtlName);
    return 0;
  }
  if (message != kWmCommand) return 0;
  switch (wParam & 0xFFFF) {
    case kIdOk:
      if (ValidateAttributeDialog(dialog) == 0) PlatformEndDialog(dialog, kIdOk);
      return 1;
    case kIdCancel: PlatformEndDialog(dialog, kIdCancel); return 1;
    default: return 0;
  }
}
