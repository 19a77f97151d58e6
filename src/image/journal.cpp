// Placeholder transaction layer: writes go straight to the image. The rollback journal replaces it.
#include "image/journal.h"

#include "image/d88_disks.h"

namespace {
bool Active = false;
}

int ImageBeginChange(WindowHandle owner) {
  // A write-protected disk is never written: refused before anything else.
  if (ImageRefuseIfProtected(owner) != 0) return -1;
  Active = true;
  return 0;
}

int ImageCommitChange(WindowHandle) {
  Active = false;
  return 0;
}

void ImageAbortChange() { Active = false; }

bool ImageChangeActive() { return Active; }

int ImageRecoverJournal(WindowHandle, const char*) { return 0; }
