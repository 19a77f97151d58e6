// The volume check of the Windows program: the findings of the check that `zelvo check` runs,
// told in one message box.
#pragma once

#include <cstdint>

#include "volume/volume_check.h"

inline constexpr int kCheckReportCapacity = 4096;
inline constexpr int kCheckReportLines = 20;  // findings told one by one; the rest are counted

// One finding as a line; `name` is the entry's name as the list shows it (slot >= 0) and
// `otherName` that of the other entry of shared sectors (empty for the extended directory).
void ComposeCheckLine(const CheckFinding& finding, const char* name, const char* otherName,
                      char* out, int capacity, bool english = false);
// The box's text for the findings of a volume whose directory holds `entryCount` slots, names
// shown through tbl1. Code page 932, or English when `english` (the web page shows both).
void ComposeCheckReport(const CheckFindings& findings, const uint8_t* directory, int entryCount,
                        const uint16_t* tbl1, char* out, int capacity, bool english = false);
