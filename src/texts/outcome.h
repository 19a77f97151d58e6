// What an operation tells its caller: a status and the ordered messages that describe it.
//
// The core never shows a window. A step that fails or has something to tell says it into the
// caller's Outcome; the front end then shows the messages in order (the Windows program as
// message boxes, zelvo as lines on standard error, the web page as banners), each exactly as
// the program shows it there. Every message keeps the table text it came from, so a front end
// can tell which one it is without comparing texts.
#pragma once

#include <cstdarg>

inline constexpr int kOutcomeMessages = 8;     // further messages are dropped (counted)
inline constexpr int kMessageCapacity = 1024;  // a formatted message and its zero byte

struct OutcomeMessage {
  const char* format;             // the table text (code page 932) it was formatted from
  const char* caption;            // the table caption
  char text[kMessageCapacity];    // the text as shown, code page 932
  char textEn[kMessageCapacity];  // the same in English (the table's English form)
};

struct Outcome {
  int count;
  int dropped;
  OutcomeMessage messages[kOutcomeMessages];
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
// Whether the outcome holds a message formatted from `format` (the very table text).
bool OutcomeHas(const Outcome* outcome, const char* format);
