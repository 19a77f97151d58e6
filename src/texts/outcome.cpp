#include "texts/outcome.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"

void OutcomeClear(Outcome* outcome) {
  outcome->count = 0;
  outcome->dropped = 0;
}

namespace {

// The next message of the outcome, its table text and caption set; null when there is no outcome
// or no room (the message is then counted as dropped).
OutcomeMessage* NextMessage(Outcome* outcome, const char* caption, const char* format) {
  if (!outcome) return nullptr;
  if (outcome->count >= kOutcomeMessages) {
    outcome->dropped++;
    return nullptr;
  }
  OutcomeMessage* message = &outcome->messages[outcome->count++];
  message->format = format;
  message->caption = caption;
  return message;
}

}  // namespace

void SayV(Outcome* outcome, const char* caption, const char* format, std::va_list args) {
  OutcomeMessage* next = NextMessage(outcome, caption, format);
  if (!next) return;
  OutcomeMessage& message = *next;
  std::va_list copy;
  va_copy(copy, args);
  std::vsnprintf(message.text, sizeof message.text, format, args);
  // The English form has the same conversions in the same order (the table's generator checks).
  const TextId id = TextIdOf(format);
  if (id != TextId::kCount)
    std::vsnprintf(message.textEn, sizeof message.textEn, TextEn(id), copy);
  else  // the same size: the text and its zero byte fit
    std::memcpy(message.textEn, message.text, std::strlen(message.text) + 1);
  va_end(copy);
}

void SayText(Outcome* outcome, const char* caption, const char* format, const char* text,
             const char* textEn) {
  OutcomeMessage* next = NextMessage(outcome, caption, format);
  if (!next) return;
  OutcomeMessage& message = *next;
  std::snprintf(message.text, sizeof message.text, "%s", text);
  const TextId id = TextIdOf(format);
  if (!textEn) textEn = id != TextId::kCount && text == format ? TextEn(id) : text;
  std::snprintf(message.textEn, sizeof message.textEn, "%s", textEn);
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
