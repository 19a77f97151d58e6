#include "texts/outcome.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"

void OutcomeClear(Outcome* outcome) {
  outcome->count = 0;
  outcome->dropped = 0;
  outcome->poolUsed = 0;
}

namespace {

// Room for the next text in the pool: at most kMessageCapacity bytes.
size_t PoolRoom(const Outcome* outcome) {
  const int room = kOutcomePoolBytes - outcome->poolUsed;
  return static_cast<size_t>(room < kMessageCapacity ? room : kMessageCapacity);
}

// Takes the text just written at the pool's end (`length` bytes before the cut, as snprintf
// counted them) into the pool. Its offset, or -1 when it did not fit: the pool was too full for
// it (a text longer than a message holds is cut and kept).
int TakeText(Outcome* outcome, int length) {
  const size_t room = PoolRoom(outcome);
  if (length < 0) return -1;
  if (static_cast<size_t>(length) >= room && room < static_cast<size_t>(kMessageCapacity))
    return -1;
  const int at = outcome->poolUsed;
  const size_t kept = static_cast<size_t>(length) < room ? static_cast<size_t>(length) : room - 1;
  outcome->poolUsed += static_cast<int>(kept) + 1;
  return at;
}

// Whether a message may still be added; when not, it is counted as dropped.
bool Room(Outcome* outcome) {
  if (!outcome) return false;
  if (outcome->dropped > 0 || outcome->count >= kOutcomeMessages) {
    outcome->dropped++;
    return false;
  }
  return true;
}

// Adds the message whose texts were taken at `text` and `textEn` (dropped when either did not
// fit: the pool then gives back what it took for the message).
void Append(Outcome* outcome, int start, const char* caption, const char* format, int text,
            int textEn) {
  if (text < 0 || textEn < 0) {
    outcome->poolUsed = start;
    outcome->dropped++;
    return;
  }
  OutcomeMessage& message = outcome->messages[outcome->count++];
  message.format = format;
  message.caption = caption;
  message.text = text;
  message.textEn = textEn;
}

// Takes the English text `en` unless it is the text just taken at `text`, which then serves both.
int TakeEnglish(Outcome* outcome, int text, const char* en) {
  if (text < 0) return -1;
  if (std::strcmp(outcome->pool + text, en) == 0) return text;
  char* end = outcome->pool + outcome->poolUsed;
  return TakeText(outcome, std::snprintf(end, PoolRoom(outcome), "%s", en));
}

}  // namespace

void SayV(Outcome* outcome, const char* caption, const char* format, std::va_list args) {
  if (!Room(outcome)) return;
  const int start = outcome->poolUsed;
  std::va_list copy;
  va_copy(copy, args);
  int text = TakeText(
      outcome, std::vsnprintf(outcome->pool + outcome->poolUsed, PoolRoom(outcome), format, args));
  int textEn = text;
  // The English form has the same conversions in the same order (the table's generator checks).
  const TextId id = TextIdOf(format);
  if (text >= 0 && id != TextId::kCount) {
    const int at = outcome->poolUsed;
    textEn = TakeText(outcome, std::vsnprintf(outcome->pool + outcome->poolUsed, PoolRoom(outcome),
                                              TextEn(id), copy));
    // An English that reads as the text itself shares its bytes.
    if (textEn >= 0 && std::strcmp(outcome->pool + text, outcome->pool + textEn) == 0) {
      outcome->poolUsed = at;
      textEn = text;
    }
  }
  va_end(copy);
  Append(outcome, start, caption, format, text, textEn);
}

void SayText(Outcome* outcome, const char* caption, const char* format, const char* text,
             const char* textEn) {
  if (!Room(outcome)) return;
  const int start = outcome->poolUsed;
  const TextId id = TextIdOf(format);
  if (!textEn) textEn = id != TextId::kCount && text == format ? TextEn(id) : text;
  const int at = TakeText(
      outcome, std::snprintf(outcome->pool + outcome->poolUsed, PoolRoom(outcome), "%s", text));
  Append(outcome, start, caption, format, at, TakeEnglish(outcome, at, textEn));
}

void Say(Outcome* outcome, const char* caption, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  SayV(outcome, caption, format, args);
  va_end(args);
}

const char* OutcomeText(const Outcome* outcome, int index) {
  return outcome->pool + outcome->messages[index].text;
}

const char* OutcomeTextEn(const Outcome* outcome, int index) {
  return outcome->pool + outcome->messages[index].textEn;
}

bool OutcomeHas(const Outcome* outcome, const char* format) {
  for (int i = 0; i < outcome->count; i++)
    if (outcome->messages[i].format == format) return true;
  return false;
}
