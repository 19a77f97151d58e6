// The zelvo command-line tool: the commands and what they share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/host_text.h"
#include "platform/console/console.h"
#include "texts/outcome.h"
#include "transfer/open_disk.h"

struct Identification;

namespace cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; a message was shown
inline constexpr int kExitUsage = 2;

struct LsOptions {
  std::vector<std::string> images;
  std::string mode = "mz";
  std::string codes;  // empty: "CodeChg.txt" beside the executable, else in ../share/zelvo/
  bool json = false;
  bool deleted = false;  // the deleted entries with their verdicts instead of the files
};

struct ExportOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool ascii = false;
  TextFormOptions text;  // with ascii: the host text's encoding and line ends
  bool force = false;
  std::string file;
  std::string hostPath;  // empty: the export's default name
  // Many files: every file matching one of the patterns (or all) into the folder `to`.
  std::string to;
  bool all = false;
  std::vector<std::string> patterns;
};

struct ImportOptions {
  std::string image;
  std::string mode = "mz";
  std::string codes;
  bool ascii = false;
  TextFormOptions text;  // with ascii: the host text's encoding and line ends
  bool yes = false;
  std::string hostFile;
  std::vector<std::string> hostFiles;  // several: one transaction, the dialog's defaults
  // The attribute dialog's fields; unset fields keep the dialog's defaults.
  bool hasName = false, hasType = false, hasStart = false, hasExec = false, hasDate = false;
  std::string name, type, start, exec, date;
  bool lock = false;
  bool replace = false;  // replace a file of the same name
};

struct CheckOptions {
  std::vector<std::string> images;
  std::string mode = "mz";
  bool json = false;
  bool repair = false;       // mend the bit table from the directory (one change)
  bool freeUnowned = false;  // with repair: also free sectors of tracks 2-83 that nothing owns
  bool yes = false;
};

struct IdentifyOptions {
  std::vector<std::string> images;
  bool json = false;
};

// What every command takes to choose the volume: --mode (mz, pc or auto: the identify verdict;
// empty when not given: see ChooseConvention) and --disk (of a D88 file of several; -1 when not
// given: disk 0).
struct ImageChoice {
  std::string mode;
  int disk = -1;
  bool anyConvention = false;  // --any-convention: write under either convention
};
ImageChoice& Choice();

int RunLs(const LsOptions& options);
int RunIdentify(const IdentifyOptions& options);
int RunExport(const ExportOptions& options);
int RunImport(const ImportOptions& options);
int RunCheck(const CheckOptions& options);

struct NewOptions {
  std::string image;
  std::string mode = "mz";
  std::string diskName;
  std::string volumeNumber = "0";
  std::string date;  // empty: today
  bool exdir = false;
  std::string like;
  std::string likeMode;  // empty: the same as mode
  bool force = false;
};
int RunNew(const NewOptions& options);
// Many files: export every file matching the patterns into options.to.
int RunExportMany(const ExportOptions& options);

// --- Shared steps (session.cpp) ---

// The record of the image the command works on: one open disk, on the heap (StartSession makes
// it afresh).
OpenDisk& Disk();
// Hands the record over to the caller (a verb of two images keeps the first open) and makes a
// fresh one aimed at nothing, with the same code tables, convention and transfer mode.
std::unique_ptr<OpenDisk> TakeDisk();
// A fresh record and console: the convention of `mode` (mz unless pc), the transfer mode.
void StartSession(const console::Settings& settings, const std::string& mode, bool ascii);
// The code tables from `codes`, or, when it is empty, from "CodeChg.txt" beside the executable,
// else from ../share/zelvo/CodeChg.txt relative to the executable's folder (an installation).
// On failure the messages of the main window's start-up have been shown: -1.
int LoadTables(const std::string& codes);
// The Open command on `image`, on the disk of Choice() (a note on standard error names the
// count when a file of several disks is opened without --disk) and in the convention
// ChooseConvention gives; 0 when the volume was
// loaded, -1 after a message. A reader holds the image shared from the load to its end; a
// change (`change`) holds it alone from its first read, so that nothing changes it between the
// plan and the commit, and is refused before any question when the image or its folder cannot be
// written. A failed read is followed by the system's reason when it has one. Either waits for
// another program's hold as long as --wait says, then refuses with the busy message.
int OpenImage(const std::string& image, bool change = false);
// The convention the record's image (AimAtImage) is read under, into its target. Without --mode,
// what identify finds; when it finds neither convention a reader reads as MZ with a note and a
// change (`change`) is refused naming --mode; when both read equally well, MZ with a note. An
// explicit mz or pc stays, with a note when identify places the disk under the other one;
// --mode auto refuses an image of no verdict with its reasons. 0, or -1 after the notes.
int ChooseConvention(const std::string& image, bool change);
// The lines (English) of the last refusal of ChooseConvention: why an image is read under no
// convention. Empty when it refused nothing.
std::vector<std::string>& Refusal();
// The JSON line of an image that OpenImage refused (--json): "image", "error" (the messages
// shown, else the refusal's lines), "message_en", "message_id", and "reasons" when there are.
std::string OpenErrorLine(const std::string& image);
// "zelvo: IMAGE: " and a text of the table in the current language.
void NoteText(const std::string& image, const char* text);
// The listing `zelvo ls IMAGE` prints of the record's loaded volume: the panel and the table of
// files.
std::string ListingText();
// Aims the record at `image` (path, layout by extension or -1, the disk of Choice()) without
// loading it. 0, or -1 after a note (a path too long, a disk the file does not hold).
int AimAtImage(const std::string& image);
// Prints the messages of an outcome (each "caption: text" on standard error), or one message.
void Report(const Outcome& outcome);
void Report(const char* caption, const char* text);
// The used directory entries of the record's volume: the files the list shows.
int CountFiles();
// The identification of an image, in English: the verdict, then each convention's score and
// reasons, for standard error and the identify command.
std::string VerdictText(const Identification& id);
std::vector<std::string> ReasonLines(const Identification& id);
// The image's messages shown so far, as "caption: text" in UTF-8, joined by "; ".
std::string ShownMessages();
// The same in English, and the names of the table texts they came from (empty for a text of
// none), for the JSON output's "message_en" and "message_id".
std::string ShownMessagesEn();
std::vector<std::string> ShownMessageIds();
// The extensions of the images zelvo opens, for help texts: ".2d, .d20, .d88, .d77, .imd, .hfe or
// .scp".
std::string ImageExtensionList();
// "2D", "D20" or "D88"; "MZ" or "PC".
const char* FormatName(int imageFormat);
const char* ModeName(int machineMode);
// The list row of a used slot (its rank among the used slots), or -1.
int RowOfSlot(int slot);
// The stored name of a slot (bytes up to 0x0D or 0x00, at most 16).
std::string StoredName(int slot);
// Writes UTF-8 text to standard output (see console::WriteOut).
void Print(const std::string& text);
// The path of a file a command wrote, as a line on standard output; nothing under --quiet.
void PrintWrittenPath(const std::string& path);

}  // namespace cli
