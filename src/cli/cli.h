// The zelvo command-line tool: the commands and what they share.
#pragma once

#include <string>
#include <vector>

#include "platform/console/console.h"

namespace cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; a message was shown
inline constexpr int kExitUsage = 2;

struct LsOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;  // empty: "CodeChg.txt" beside the executable, else in ../share/zelvo/
  bool json = false;
};

struct ExportOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool ascii = false;
  bool force = false;
  std::string file;
  std::string hostPath;  // empty: the export's default name
};

struct ImportOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool ascii = false;
  bool yes = false;
  std::string hostFile;
  // The attribute dialog's fields; unset fields keep the dialog's defaults.
  bool hasName = false, hasType = false, hasStart = false, hasExec = false, hasDate = false;
  std::string name, type, start, exec, date;
  bool lock = false;
};

struct CheckOptions {
  std::string image;
  std::string mode = "mz";
  bool json = false;
};

int RunLs(const LsOptions& options);
int RunExport(const ExportOptions& options);
int RunImport(const ImportOptions& options);
int RunCheck(const CheckOptions& options);

// --- Shared steps (session.cpp) ---

// A fresh App on the console platform, as the main window sets it up.
void StartSession(const console::Settings& settings, const std::string& mode, bool ascii);
// The code tables from `codes`, or, when it is empty, from "CodeChg.txt" beside the executable,
// else from ../share/zelvo/CodeChg.txt relative to the executable's folder (an installation).
// On failure the messages of the main window's start-up have been shown: -1.
int LoadTables(const std::string& codes);
// The Open command on `image`; 0 when the volume was loaded, -1 after a message.
int OpenImage(const std::string& image);
// "2D", "D20" or "D88"; "MZ" or "PC".
const char* FormatName(int imageFormat);
const char* ModeName(int machineMode);
// The list row of a used slot (its rank among the used slots), or -1.
int RowOfSlot(int slot);
// The stored name of a slot (bytes up to 0x0D or 0x00, at most 16).
std::string StoredName(int slot);
// Writes text to standard output.
void Print(const std::string& text);

}  // namespace cli
