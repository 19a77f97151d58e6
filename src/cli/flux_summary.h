// The per-track report of a flux image (SCP) for identify, check and convert: empty for an
// image of another kind.
#pragma once

#include <string>

namespace cli {

std::string FluxSummary(const std::string& image);

}  // namespace cli
