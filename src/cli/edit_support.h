// What the verbs that change an image share beyond their arguments (edit_support.cpp): messages
// printed as the console prints a message box, the volume read again before a change, and the
// volume read once more after it.
#pragma once

#include <string>

#include "texts/outcome.h"

namespace cli {

// "caption: text" on standard error, converted to UTF-8.
void PrintMessage(const char* caption, const char* text, const char* textEn = nullptr);
void PrintOutcome(const Outcome& out);

// Before a change to the files in `slots` of the record's loaded volume: refused on a
// write-protected disk; then the volume is read again and must still hold those files (when it does
// not, it is loaded once more). 0, or -1 after a message (also, silently, when no volume is
// loaded).
int BeginFileChange(const int* slots, int count);

// After a change: prints its messages, then reads the volume again as the window does (a journal
// left behind is played back first), printing what that says. `result` passes through.
// A change that succeeded then says in one line what it wrote (the line SayChange gave), unless
// --quiet.
int EndFileChange(int result, const Outcome& out);
// What the change under way writes, in a few words ("deleted GAME"): said after it succeeded.
void SayChange(const std::string& what);

}  // namespace cli
