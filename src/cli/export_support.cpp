#include "cli/export_support.h"

#include <string>

#include "platform/console/console.h"

namespace cli {

void PrintOutcome(const Outcome& outcome) {
  for (int i = 0; i < outcome.count; ++i) {
    const OutcomeMessage& message = outcome.messages[i];
    console::WriteErr(console::Cp932ToTerminal(std::string(message.caption) + ": " + message.text) +
                      "\n");
  }
}

}  // namespace cli
