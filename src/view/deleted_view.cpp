#include "view/deleted_view.h"

#include <cstdio>

#include "texts/texts.h"

void FormatDeletedVerdict(const DeletedEntry& entry, bool english, char* text, int capacity) {
  const size_t size = static_cast<size_t>(capacity);
  switch (entry.verdict) {
    case kDeletedRecoverable:
      std::snprintf(text, size, "%s",
                    english ? kDeletedTextRecoverableEn : kDeletedTextRecoverable);
      return;
    case kDeletedOverwritten:
      std::snprintf(text, size, english ? kDeletedTextOverwrittenEn : kDeletedTextOverwritten,
                    entry.claimedByFiles + entry.claimedBySystem, entry.claimedByFiles,
                    entry.claimedBySystem, entry.firstClaimed / 16, entry.firstClaimed % 16 + 1);
      return;
    default: std::snprintf(text, size, "%s", english ? kDeletedTextLostEn : kDeletedTextLost);
  }
}
