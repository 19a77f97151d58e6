// What every command does first: the state of a freshly created main window, the code tables,
// and the Open command on the image named on the command line.
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "codes/code_tables.h"
#include "image/container.h"
#include "image/host_files.h"
#include "image/image_lock.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "view/directory_list.h"
#include "volume/identify.h"
#include "volume/layout.h"
#include "volume/volume_read.h"

namespace cli {
namespace {

// The disks of the image AimAtImage last looked at.
ImageDisk Disks[kMaxImageDisks];

// The record of the command's image.
std::unique_ptr<OpenDisk> Current;

int ExtensionFormat(const std::string& image) { return FormatForPath(image.c_str()); }

// A record ready for use, writing under either convention when --any-convention says so.
std::unique_ptr<OpenDisk> NewDisk() {
  auto disk = std::make_unique<OpenDisk>();
  InitOpenDisk(disk.get());
  disk->change.anyConvention = Choice().anyConvention;
  return disk;
}

}  // namespace

OpenDisk& Disk() {
  if (!Current) Current = NewDisk();
  return *Current;
}

std::unique_ptr<OpenDisk> TakeDisk() {
  std::unique_ptr<OpenDisk> taken = std::move(Current);
  Current = NewDisk();
  if (taken) {
    Current->tables = taken->tables;
    Current->target.machineMode = taken->target.machineMode;
    Current->transferMode = taken->transferMode;
  }
  return taken;
}

ImageChoice& Choice() {
  static ImageChoice choice;
  return choice;
}

int AimAtImage(const std::string& image) {
  OpenDisk& disk = Disk();
  // A path too long for the record is cut (the Open command refuses it before); its extension
  // still names the container.
  AimOpenDisk(&disk, image.substr(0, kPathCapacity - 1).c_str(), disk.target.machineMode);
  disk.format = ExtensionFormat(image);
  disk.target.kind = ContainerForFormat(disk.format);
  int count = ListTargetDisks(&disk.target, Disks, kMaxImageDisks);
  if (count < 0) count = 0;  // unreadable: the reading says so
  const int index = Choice().disk < 0 ? 0 : Choice().disk;
  const int held = count > 1 ? count : 1;
  if (index >= held) {
    console::Note(image + ": the file holds " + std::to_string(held) +
                  (held == 1 ? " disk" : " disks") + "; there is no disk " + std::to_string(index));
    return -1;
  }
  AimAtDisk(&disk.target, Disks, count, index);
  return 0;
}

void StartSession(const console::Settings& settings, const std::string& mode, bool ascii) {
  console::Reset(settings);
  Current = NewDisk();
  Current->target.machineMode = (mode == "pc" || mode == "PC") ? kModePc : kModeMz;
  Current->transferMode = ascii ? kTransferAscii : kTransferBinary;
}

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where an installation puts the code file: ../share/zelvo/ relative to the executable's folder
// (bin/). Used only when no code file lies beside the executable; empty otherwise, and then the
// main window's own lookup (and its messages) applies.
std::string InstalledCodeFile() {
  char executable[4096];
  if (PlatformExecutablePath(executable, sizeof executable) == 0) return "";
  std::string folder(executable);
  const size_t slash = folder.find_last_of("/\\");
  if (slash == std::string::npos) return "";
  folder.resize(slash + 1);
  if (IsRegularFile(folder + kCodeFileName)) return "";
  const std::string installed = folder + "../share/zelvo/" + kCodeFileName;
  return IsRegularFile(installed) ? installed : "";
}

}  // namespace

int LoadTables(const std::string& codes) {
  const std::string path = codes.empty() ? InstalledCodeFile() : codes;
  Outcome out;
  OutcomeClear(&out);
  const int result = path.empty() ? ReadCodeFileBesideProgram(&out, &Disk().tables)
                                  : ReadCodeFileAt(&out, path.c_str(), &Disk().tables);
  Report(out);
  if (result != 0) {
    Report(kCaptionError, kMsgCreateFailed);
    return -1;
  }
  return 0;
}

void Report(const Outcome& outcome) {
  for (int i = 0; i < outcome.count; i++) {
    const char* format = outcome.messages[i].format;
    console::ShowMessage(OutcomeText(&outcome, i), OutcomeTextEn(&outcome, i),
                         outcome.messages[i].caption, console::kMbOk, format);
    // The journal messages name the file only by pattern: say which file it is.
    if (format == kMsgJournalForeign || format == kMsgJournalBlocksWrite ||
        format == kMsgJournalCreateFailed || format == kMsgJournalRecoverFailed) {
      char journal[kPathCapacity + 16];
      if (ImageJournalPath(Disk().target.path, journal, sizeof journal) == 0)
        console::Note(std::string("the journal file is ") + journal);
    }
  }
  if (outcome.dropped > 0)
    console::Note(std::to_string(outcome.dropped) + " more message" +
                  (outcome.dropped == 1 ? "" : "s") + " not shown");
}

void Report(const char* caption, const char* text) {
  Outcome outcome;
  OutcomeClear(&outcome);
  SayText(&outcome, caption, text, text);
  Report(outcome);
}

namespace {

// Holds the image for the rest of the command. 0, also when it cannot be opened (the reading
// then fails with the reader's own message); -1 after the busy message.
int HoldImage(const char* path, bool exclusive) {
  const int held = ImageHoldBegin(path, exclusive);
  // Test aid: ZELVO_TEST_HOLD_MS keeps the image held that much longer before the command goes
  // on, so that a test can meet it held.
  const char* hold = std::getenv("ZELVO_TEST_HOLD_MS");
  if (held == 0 && hold) ImageFileNap(static_cast<unsigned>(std::atoi(hold)));
  if (held != kImageFileBusy) return 0;
  Report(kCaptionError, kMsgImageBusy);
  return -1;
}

// Why the system cannot open the image for reading (or, for a change, writing): its own words,
// or empty when it can.
std::string SystemReason(const std::string& image, bool change) {
  switch (console::HostPathKindOf(image)) {
    case console::HostPathKind::kNone: return std::strerror(ENOENT);
    case console::HostPathKind::kFolder: return std::strerror(EISDIR);
    default: break;
  }
  errno = 0;
  std::FILE* file = PlatformOpenHostFile(image.c_str(), change ? "r+b" : "rb");
  if (file) {
    std::fclose(file);
    return std::string();
  }
  return errno != 0 ? std::strerror(errno) : std::string();
}

// A change writes its journal beside the image before it writes the image: both must be
// possible before the question is asked. 0, or -1 after saying why not.
int RefuseIfNotWritable(const std::string& image) {
  std::string reason;
  if (ImageHeld(image.c_str())) {
    // Held by this command (alone, share mode 0 on Windows): the hold knows whether it writes.
    ImageFile file;
    bool writable = false;
    if (ImageFileOpenAlone(image.c_str(), &file, &writable) == 0) ImageFileClose(&file);
    if (!writable) reason = std::strerror(EACCES);
  } else {
    reason = SystemReason(image, true);
  }
  if (!reason.empty()) {
    console::Note(image + ": " + reason + "; nothing written");
    return -1;
  }
#ifndef _WIN32
  const size_t slash = image.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : image.substr(0, slash + 1);
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    const std::string why = std::strerror(errno);
    console::Note(folder + ": " + why + ": the journal " + image +
                  "-journal cannot be made there; nothing written");
    return -1;
  }
#endif
  return 0;
}

}  // namespace

std::vector<std::string>& Refusal() {
  static std::vector<std::string> lines;
  return lines;
}

std::string OpenErrorLine(const std::string& image) {
  nlohmann::json out;
  out["image"] = console::ArgumentToUtf8(image);
  std::string reasons;
  for (const std::string& line : Refusal()) reasons += (reasons.empty() ? "" : "; ") + line;
  const std::string shown = ShownMessages();
  out["error"] = shown.empty() ? reasons : shown;
  out["message_en"] = shown.empty() ? reasons : ShownMessagesEn();
  out["message_id"] = ShownMessageIds();
  if (!Refusal().empty()) out["reasons"] = Refusal();
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void NoteText(const std::string& image, const char* text) {
  const bool english = console::CurrentLanguage() == console::Language::kEnglish;
  console::Note(image + ": " +
                (english ? std::string(TextEn(TextIdOf(text))) : console::Cp932ToUtf8(text)));
}

int ChooseConvention(const std::string& image, bool change) {
  static Identification id;  // one image at a time; too large for the stack
  const std::string& mode = Choice().mode;
  Refusal().clear();
  if (mode == "auto") {
    const int status = IdentifyOpenDisk(&Disk(), &id);
    if (status > 0) Report(kCaptionRead, ImageStatusText(status));
    if (status != 0) return 0;  // the read says why
    if (id.verdict == kVerdictNone) {
      Refusal().push_back(image + ": " + VerdictText(id));
      for (const std::string& line : ReasonLines(id)) Refusal().push_back(line);
      for (const std::string& line : Refusal()) console::Note(line);
      return -1;
    }
    Disk().target.machineMode = id.verdict;
    return 0;
  }
  // An image that cannot be identified is read as given: the read then says what is wrong.
  if (IdentifyOpenDisk(&Disk(), &id) != 0) return 0;
  if (!mode.empty()) {
    const int other = OtherConvention(id, Disk().target.machineMode);
    if (other != kVerdictNone)
      NoteText(image, other == kModePc ? kWebLooksRecordedPc : kWebLooksRecordedMz);
    return 0;
  }
  Disk().target.machineMode = id.verdict == kVerdictNone ? kModeMz : id.verdict;
  if (id.verdict != kVerdictNone) return 0;
  if (id.ambiguous) {
    NoteText(image, kCliBothConventions);
  } else if (change) {
    NoteText(image, kCliNoConventionRefused);
    Refusal().push_back(image + ": " + TextEn(TextId::kCliNoConventionRefused));
    return -1;
  } else {
    NoteText(image, kCliNoConvention);
  }
  return 0;
}

int OpenImage(const std::string& image, bool change) {
  Refusal().clear();
  // The Open command's own refusals, in its order: an empty path opens nothing, a path too long
  // for the buffer that holds it, an extension that is no image's.
  if (image.empty()) return -1;
  if (image.size() >= static_cast<size_t>(kPathCapacity)) {
    Report(kCaptionError, kMsgHostPathTooLong);
    return -1;
  }
  if (ExtensionFormat(image) < 0) {
    Report(kCaptionExtension, kMsgBadExtension);
    return -1;
  }
  if (change && HoldImage(image.c_str(), true) != 0) return -1;
  if (AimAtImage(image) != 0) return -1;
  if (Disk().target.diskCount > 1 && Choice().disk < 0)
    console::Note(image + ": the file holds " + std::to_string(Disk().target.diskCount) +
                  " disks; disk 0 is used (choose one with --disk N)");
  if (ChooseConvention(image, change) != 0) return -1;
  // The load: a journal left by an interrupted change first, then the volume, read in one go.
  Outcome out;
  OutcomeClear(&out);
  int result = RecoverImageJournal(&out, &Disk().target);
  if (result == 0 && !change && HoldImage(Disk().target.path, false) != 0) {
    Report(out);
    return -1;
  }
  if (result == 0) result = LoadOpenDisk(&Disk(), &out);
  Report(out);
  if (result != 0) {
    const std::string reason = SystemReason(image, false);
    if (!reason.empty()) console::Note(image + ": " + reason);
  } else if (change && RefuseIfNotWritable(image) != 0) {
    result = -1;
  }
  if (result != 0) Disk().loaded = false;
  return result;
}

int CountFiles() {
  int files = 0;
  const int slots = Disk().volume.EntryCount < kDirectoryBufferBytes / kEntryBytes
                        ? Disk().volume.EntryCount
                        : kDirectoryBufferBytes / kEntryBytes;
  for (int k = 0; k < slots; ++k)
    if (Disk().volume.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) files++;
  return files;
}

std::string ImageExtensionList() {
  char text[128];
  ContainerExtensionList(text, sizeof text);
  return text;
}

const char* FormatName(int imageFormat) {
  const char* name = ContainerFormatName(imageFormat);
  return name ? name : "D88";
}

const char* ModeName(int machineMode) { return machineMode == kModePc ? "PC" : "MZ"; }

int RowOfSlot(int slot) {
  if (slot < 0 || slot >= Disk().volume.EntryCount) return -1;
  if (Disk().volume.DirectoryBuffer[slot * kEntryBytes + kEntryType] == 0) return -1;
  int row = 0;
  for (int k = 0; k < slot; ++k)
    if (Disk().volume.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) row++;
  return row;
}

std::string StoredName(int slot) {
  const uint8_t* name = Disk().volume.DirectoryBuffer + slot * kEntryBytes + kEntryName;
  std::string text;
  for (int i = 0; i < kEntryNameMax && name[i] != 0x0D && name[i] != 0x00; ++i)
    text.push_back(static_cast<char>(name[i]));
  return text;
}

void Print(const std::string& text) { console::WriteOut(text); }
void PrintWrittenPath(const std::string& path) {
  if (!console::Quiet()) Print(path + "\n");
}
std::string ShownMessagesEn() {
  std::string text;
  for (const console::Box& box : console::Boxes()) {
    if (!text.empty()) text += "; ";
    text += console::Cp932ToUtf8(box.captionEn + ": " + box.textEn);
  }
  return text;
}

std::vector<std::string> ShownMessageIds() {
  std::vector<std::string> ids;
  for (const console::Box& box : console::Boxes()) ids.push_back(box.id);
  return ids;
}

std::string ShownMessages() {
  std::string text;
  for (const console::Box& box : console::Boxes()) {
    if (!text.empty()) text += "; ";
    text += console::Cp932ToUtf8(box.caption + ": " + box.text);
  }
  return text;
}

}  // namespace cli
