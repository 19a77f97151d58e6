#include "flows/app_state.h"

#include <cstring>

#include "texts/texts.h"
#include "volume/layout.h"

AppState App;

namespace {

// The window's change in progress and change history: too large to live in App itself, whose
// copies the tests take.
ImageChange WindowChange;
ChangeHistory WindowHistory;

}  // namespace

void ResetAppState() {
  ImageAbortChange(&WindowChange);
  std::memset(&App, 0, sizeof App);
  ImageChangeInit(&WindowChange);
  ChangeHistoryClear(&WindowHistory);
  WindowHistory.paused = false;
  WindowChange.history = &WindowHistory;
  App.Change = &WindowChange;
  App.History = &WindowHistory;
}

const char* WindowText(const char* text) {
  if (!App.English || !text) return text;
  const TextId id = TextIdOf(text);
  return id == TextId::kCount ? text : TextEn(id);
}

void ApplyExdirRule() { ApplyExdirRule(&App); }
