// What zelvo's import gives the attribute checks: the texts a user would type into the attribute
// dialog, from the command-line options.
#pragma once

#include "cli/file_args.h"
#include "transfer/attribute_checks.h"

namespace cli {

// Puts the options that were given over the texts the dialog shows (`texts` holds them), as a
// user would type them: each field in code page 932 and at most as long as the dialog reads it,
// Start and Exec also as 0x1200 or 1200h, the type as the list item of that name (ASCII case
// ignored; none when no item has it), the date YY/MM/DD into its three fields, the lock as the
// chosen button.
void TypeIntoAttributeTexts(const AttributeOptions& options, AttributeTexts* texts);

// Whether a host path names a regular file, as the open dialog requires of its answer.
bool IsRegularHostFile(const std::string& path);

}  // namespace cli
