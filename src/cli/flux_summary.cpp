#include "cli/flux_summary.h"

#include <vector>

#include "view/flux_report.h"

namespace cli {

std::string FluxSummary(const std::string& image) {
  std::vector<char> text(32768);
  const int written = FluxReportText(image.c_str(), text.data(), static_cast<int>(text.size()));
  if (written < 0) return "  flux: the image cannot be read\n";
  return std::string(text.data(), static_cast<size_t>(written));
}

}  // namespace cli
