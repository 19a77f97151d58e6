// 編集 > 削除したファイルの復元: the deleted entries of the volume with their verdicts in a list;
// the chosen one made a file again through the attribute dialog (type and name editable), in one
// change that Undo takes back.
#pragma once

#include "platform/platform.h"
#include "volume/deleted_entries.h"

// The dialog and its controls (resource.h: IDD_RESTORE_DELETED and the rest).
inline constexpr int kRestoreDialogId = 40300;
inline constexpr int kRestoreListId = 40301;

// The list item of deleted entry #d`number`: "#dN  name  verdict" (code page 932).
void DeletedItemText(const DeletedEntry& entry, int number, char* text, int capacity);
// Whether App's volume holds any deleted entry (the menu item is greyed otherwise).
bool VolumeHasDeletedEntries();
// The command: the list, the attribute dialog, the change. 0 when a file was restored, -1 when
// cancelled or refused (after a message).
int RestoreDeletedFile(WindowHandle window);
