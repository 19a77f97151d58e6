// Options that several verbs take.
#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#include "cli/cli.h"
#include "image/image_lock.h"
#include "transfer/convention_guard.h"

namespace cli {

void AddDisk(CLI::App* command) {
  command
      ->add_option("--disk", Choice().disk,
                   "Disk of a D88 file that holds several, from 0 (default: 0)")
      ->check(CLI::NonNegativeNumber)
      ->type_name("N");
}

void AddWait(CLI::App* command) {
  command
      ->add_option_function<double>(
          "--wait",
          [](const double& seconds) {
            ImageWaitMs = static_cast<unsigned>(seconds * 1000.0 + 0.5);
          },
          "Seconds to wait while another program uses the image (default: 10; 0: do not wait)")
      ->check(CLI::Range(0.0, 86400.0))
      ->type_name("SECONDS");
}

void AddQuiet(CLI::App* command) {
  command->add_flag_callback(
      "-q,--quiet", [] { console::SetQuiet(true); },
      "Print only what went wrong (no success lines, no written paths)");
}

void AddMode(CLI::App* command, std::string* mode) {
  command
      ->add_option("--mode", *mode,
                   "Recording convention: mz, pc, or auto (refused when identify finds neither); "
                   "default: what identify finds, else MZ")
      ->check(CLI::IsMember({"mz", "pc", "auto"}, CLI::ignore_case))
      ->type_name("mz|pc|auto")
      ->each([](const std::string& value) { Choice().mode = Lower(value); });
  AddDisk(command);
  AddWait(command);
  AddQuiet(command);
}

void AddAnyConvention(CLI::App* command) {
  command->add_flag_callback(
      "--any-convention", [] { Choice().anyConvention = true; },
      "Write even when identify finds the disk recorded under the other convention");
}

void AddCodes(CLI::App* command, std::string* codes) {
  command
      ->add_option("--codes", *codes,
                   "Code conversion file (default: CodeChg.txt beside the executable, else in "
                   "../share/zelvo/ relative to it)")
      ->type_name("FILE");
}

// A missing or unreadable image is no typing error but a failed read: the Open command reports
// it with the reader's own message (exit 1), so the argument is not checked here.
void AddImage(CLI::App* command, std::string* image) {
  command->add_option("IMAGE", *image, "Disk image: " + ImageExtensionList())->required();
}

long ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 8) return -1;
  const bool hex =
      text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0);
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
    return -1;
  return std::strtol(digits.c_str(), nullptr, hex ? 16 : 10);
}

std::string CheckNumber(const std::string& text) {
  return ParseNumber(text) < 0 ? "a number in decimal, or in hex with 0x" : "";
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

}  // namespace cli
