// The three character code tables, read from "CodeChg.txt" beside the executable.
#pragma once

#include <cstdint>
#include <cstdio>

#include "texts/outcome.h"

// Transfer modes.
inline constexpr int kTransferBinary = 0;
inline constexpr int kTransferAscii = 1;

struct CodeTables {
  uint16_t TBL1[256];  // display text of each Zelvo code: high byte first
  uint8_t TBL2[256];   // Zelvo byte to host byte (export)
  uint8_t TBL3[256];   // host byte to Zelvo byte (import)
};

inline constexpr char kCodeFileName[] = "CodeChg.txt";

// Reads "CodeChg.txt" beside the executable into `tables`. 0 on success; -1 on failure, with the
// message in the outcome when the file could not be found.
int ReadCodeFileBesideProgram(Outcome* out, CodeTables* tables);
// Reads the code file at `path` (a host path) into `tables`. 0 on success; -1 on failure, with
// the message in the outcome when the file could not be opened.
int ReadCodeFileAt(Outcome* out, const char* path, CodeTables* tables);
// The reading itself, from an open stream (text-mode rules applied here on every platform).
// 0 when a TBL3 section was reached, -1 otherwise.
int ReadCodeTables(std::FILE* stream, CodeTables* tables);
