// Options that several verbs take, worded and checked the same way everywhere.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace cli {

// --disk: the disk of a D88 file that holds several (into Choice()).
void AddDisk(CLI::App* command);
// --wait: how long a command waits for an image that another program holds (image_lock.h).
void AddWait(CLI::App* command);
// -q, --quiet: only what went wrong is printed (console::SetQuiet).
void AddQuiet(CLI::App* command);
// --mode, --disk, --wait and --quiet: how every command chooses the volume of its image.
void AddMode(CLI::App* command, std::string* mode);
// --any-convention: a verb that writes changes the volume even when identify places the disk
// under the other convention (convention_guard.h).
void AddAnyConvention(CLI::App* command);
// --codes: the code conversion file.
void AddCodes(CLI::App* command, std::string* codes);
// IMAGE: one disk image, required.
void AddImage(CLI::App* command, std::string* image);
// A track, sector or count: decimal, or hex with 0x; -1 when it is neither (at most 8
// characters).
long ParseNumber(const std::string& text);
// CLI11 check over ParseNumber: empty when the text is a number, else what to give.
std::string CheckNumber(const std::string& text);
// ASCII letters in lower case, other bytes as they are.
std::string Lower(std::string text);

}  // namespace cli
