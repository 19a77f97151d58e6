// The three character code tables, read from "CodeChg.txt" beside the executable.
#pragma once

#include <cstdio>

#include "platform/platform.h"
#include "volume/app_state.h"

inline constexpr char kCodeFileName[] = "CodeChg.txt";

// Reads "CodeChg.txt" beside the executable into App.Tables. 0 on success, -1 on failure.
int LoadCodeTables(WindowHandle window);
// The reading itself, from an open stream (text-mode rules applied here on every platform).
// 0 when a TBL3 section was reached, -1 otherwise.
int ReadCodeTables(std::FILE* stream, CodeTables* tables);
