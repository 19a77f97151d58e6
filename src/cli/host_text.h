// How zelvo writes and reads Ascii text on the host (host_text.cpp): code page 932 or UTF-8, CR LF
// or LF line ends. The code tables work in code page 932 with CR LF; export shapes their output
// after TBL2, import reads the host's text into that form before TBL3.
#pragma once

#include <cstdint>
#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace cli {

// --encoding and --eol of export and import (both need --ascii).
struct TextFormOptions {
  std::string encoding;  // "cp932", "utf-8", or empty: the system's default
  std::string eol;       // "crlf", "lf", or empty: the system's default
};
void AddTextForm(CLI::App* command, CLI::Option* ascii, TextFormOptions* options);
// Chooses the form for the rest of the command. Linux and macOS: UTF-8 and LF by default;
// Windows: code page 932 and CR LF, as the window writes.
void UseTextForm(const TextFormOptions& options);

// Export: the text after TBL2 (code page 932, CR LF) in the chosen form, in this module's own
// storage until the next call.
const uint8_t* ShapeExportText(const uint8_t* data, long* length);
// Import: the host's text in code page 932 with CR LF. Read as UTF-8 when it decodes as UTF-8
// (unless --encoding cp932, or by default on Windows), else as it is; a UTF-8 character with no
// single-byte code page 932 form is refused, naming its line. Under LF a lone LF becomes CR LF.
// An ImportTextDecoderFn (transfer/import.h).
long DecodeImportText(const uint8_t* data, long length, const uint8_t** text, char* message,
                      char* messageEn, int capacity, const char** format);

}  // namespace cli
