// What an operation tells its caller: a status and the ordered messages that describe it.
//
// The core never shows a window. A step that fails or has something to tell says it into the
// caller's Outcome; the front end then shows the messages in order (the Windows program as
// message boxes, zelvo as lines on standard error, the web page as banners), each exactly as
// the program shows it there. Every message keeps the table text it came from, so a front end
// can tell which one it is without comparing texts.
#pragma once

#include <cstdarg>

inline constexpr int kOutcomeMessages = 64;          // further messages are dropped (counted)
inline constexpr int kOutcomePoolBytes = 16 * 1024;  // the texts of all messages, both languages
// The longest text a message keeps, with its zero byte: a host path of 4,095 bytes and the words
// around it. A longer text is cut there.
inline constexpr int kMessageCapacity = 5 * 1024;

// One message; its texts lie in the outcome's pool (OutcomeText, OutcomeTextEn).
struct OutcomeMessage {
  const char* format;   // the table text (code page 932) it was formatted from
  const char* caption;  // the table caption
  int text;             // where the text as shown (code page 932) starts in the pool
  int textEn;           // where the same in English (the table's English form) starts
};

// The messages in the order they were said. Once one is dropped (64 kept already, or its texts
// do not fit the pool) every later one is dropped too, so the kept ones are the first ones and
// `dropped` says how many more there were.
struct Outcome {
  int count;
  int dropped;
  int poolUsed;
  OutcomeMessage messages[kOutcomeMessages];
  char pool[kOutcomePoolBytes];
};

// An empty outcome.
void OutcomeClear(Outcome* outcome);
// Appends a message: `format` (a table text, printf conversions filled from the arguments) under
// `caption`. A null outcome takes nothing.
void Say(Outcome* outcome, const char* caption, const char* format, ...);
void SayV(Outcome* outcome, const char* caption, const char* format, std::va_list args);
// Appends a message already formatted from the table text `format` (taken as it stands: a '%'
// in a path it quotes is no conversion); its English is `textEn`, or, when that is null, the
// English form of `format` when the text is that table text itself, else the text as it stands.
void SayText(Outcome* outcome, const char* caption, const char* format, const char* text,
             const char* textEn = nullptr);
// The text of message `index` as shown (code page 932), and the same in English.
const char* OutcomeText(const Outcome* outcome, int index);
const char* OutcomeTextEn(const Outcome* outcome, int index);
// Whether the outcome holds a message formatted from `format` (the very table text).
bool OutcomeHas(const Outcome* outcome, const char* format);
