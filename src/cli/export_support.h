// What the export verb shares with the other verbs of zelvo.
#pragma once

#include "texts/outcome.h"

namespace cli {

// Each message of an operation's outcome as the line "caption: text" on standard error.
void PrintOutcome(const Outcome& outcome);

}  // namespace cli
