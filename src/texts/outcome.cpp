#include "texts/outcome.h"

#include <cstdio>
#include <cstring>

void OutcomeClear(Outcome* outcome) {
  outcome->count = 0;
  outcome->dropped = 0;
}

void SayV(Outcome* outcome, const char* caption, const char* format, std::va_list args) {
  if (!outcome) return;
  if (outcome->count >= kOutcomeMessages) {
    outcome->dropped++;
    return;
  }
  OutcomeMessage& message = outcome->messages[outcome->count++];
  message.format = format;
  message.caption = caption;
  std::vsnprintf(message.text, sizeof message.text, format, args);
}

void SayText(Outcome* outcome, const char* caption, const char* format, const char* text) {
  if (!outcome) return;
  if (outcome->count >= kOutcomeMessages) {
    outcome->dropped++;
    return;
  }
  OutcomeMessage& message = outcome->messages[outcome->count++];
  message.format = format;
  message.caption = caption;
  std::snprintf(message.text, sizeof message.text, "%s", text);
}

void Say(Outcome* outcome, const char* caption, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  SayV(outcome, caption, format, args);
  va_end(args);
}

bool OutcomeHas(const Outcome* outcome, const char* format) {
  for (int i = 0; i < outcome->count; i++)
    if (outcome->messages[i].format == format) return true;
  return false;
}
