// What the identify command says of an image: which convention it was recorded under, with the
// reasons, composed as the program shows it.
#pragma once

#include "volume/identify.h"

inline constexpr int kIdentifyTextCapacity = 2048;

// The message of the identification (code page 932): verdict, layout, disks, each convention's
// score and reasons, files and free sectors.
void ComposeIdentifyText(const Identification& id, char* text, int capacity, bool english = false);
// The same, then, when there is a verdict, the line that names the convention in use
// (`currentMode`) or, when the verdict differs from it, the question whether to switch. True when
// the message is that question.
bool ComposeIdentifyMessage(const Identification& id, int currentMode, char* text, int capacity,
                            bool english = false);
