// Option checks for host paths. They ask the console platform, which reads a path as UTF-8 on
// every system (through the wide API on Windows); CLI11's own ExistingFile and ExistingDirectory
// would read it in the ANSI code page on Windows. Their messages are CLI11's.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "platform/console/console.h"

namespace cli {

inline const CLI::Validator kExistingHostFile(
    [](std::string& path) -> std::string {
      switch (console::HostPathKindOf(path)) {
        case console::HostPathKind::kNone: return "File does not exist: " + path;
        case console::HostPathKind::kFolder: return "File is actually a directory: " + path;
        default: return std::string();
      }
    },
    "FILE");

inline const CLI::Validator kExistingHostFolder(
    [](std::string& path) -> std::string {
      switch (console::HostPathKindOf(path)) {
        case console::HostPathKind::kNone: return "Directory does not exist: " + path;
        case console::HostPathKind::kFile: return "Directory is actually a file: " + path;
        default: return std::string();
      }
    },
    "DIR");

}  // namespace cli
