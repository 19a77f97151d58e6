#include "flows/app_state.h"

#include <cstring>

#include "texts/texts.h"
#include "volume/layout.h"

AppState App;

void ResetAppState() { std::memset(&App, 0, sizeof App); }

const char* WindowText(const char* text) {
  if (!App.English || !text) return text;
  const TextId id = TextIdOf(text);
  return id == TextId::kCount ? text : TextEn(id);
}

void ApplyExdirRule() { ApplyExdirRule(&App); }
