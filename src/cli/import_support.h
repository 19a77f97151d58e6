// What zelvo's import checks of the host files it is given.
#pragma once

#include "cli/file_args.h"
#include "transfer/attribute_checks.h"

namespace cli {

// Whether a host path names a regular file, as the open dialog requires of its answer.
bool IsRegularHostFile(const std::string& path);

}  // namespace cli
