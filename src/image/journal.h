// Every change to an image is one transaction: all of it reaches the image or none of it does.
//
//   if (ImageBeginChange(owner) != 0) return;  // refused, a message was shown; nothing written
//   ZLV_WriteZelvoFile(...); ...               // the change's writes, in the order they matter
//   if (ImageCommitChange(owner) != 0) return; // failed and rolled back, a message was shown
//
// ImageAbortChange() drops a transaction that has been begun (a check failed, the user said
// No): the image is left exactly as it was. A ZLV_WriteZelvoFile outside a transaction is a
// transaction of its own.
//
// The rollback journal beside the image (`<image>-journal`) holds the original bytes of every
// region the change writes; it is flushed before the image is touched and deleted after the image
// is flushed. Opening an image first plays back a complete journal left by an interrupted change.
#pragma once

#include "platform/platform.h"

// Starts a change to the current image (App.ImagePath, App.ImageFormat, App.MachineMode).
// 0, or -1 after a message when the image cannot be changed now.
int ImageBeginChange(WindowHandle owner);
// Makes the writes of the change reach the image, all of them or none. 0, or -1 after a message.
int ImageCommitChange(WindowHandle owner);
// Forgets a begun change without writing anything.
void ImageAbortChange();
// Whether a change has been begun and not yet committed or aborted.
bool ImageChangeActive();

// Looks for the journal of the image at `path` before it is read: a complete journal that belongs
// to the image is played back (the user is told once), an incomplete one is deleted. 0 when the
// image can be read (whatever was found), -1 after a message when it cannot.
int ImageRecoverJournal(WindowHandle owner, const char* path);
