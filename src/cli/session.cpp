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
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "codes/code_tables.h"
#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/disk_chooser.h"
#include "flows/volume_view.h"
#include "image/container.h"
#include "image/host_files.h"
#include "image/image_lock.h"
#include "image/image_select.h"
#include "image/journal.h"
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

int ExtensionFormat(const std::string& image) { return FormatForPath(image.c_str()); }

// The disks of the image as its extension's container lists them, or, for an extension that is
// no image's, as the container its bytes show does.
int ListDisks() {
  ImageTarget target;
  ImageTargetFor(&target, App.ImagePath, ContainerForFormat(App.ImageFormat), App.MachineMode);
  if (!target.kind) {
    uint8_t head[kContainerHeadBytes];
    int64_t size = 0;
    if (ImageReadHead(&target, head, &size) != 0) return -1;
    target.kind = RecogniseContainer(head, size);
  }
  return ImageListDisks(&target, Disks, kMaxImageDisks);
}

}  // namespace

ImageChoice& Choice() {
  static ImageChoice choice;
  return choice;
}

int AimAtImage(const std::string& image) {
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", image.c_str());
  App.ImageFormat = ExtensionFormat(image);
  int count = ListDisks();
  if (count < 0) count = 0;  // unreadable: the reading says so
  const int disk = Choice().disk < 0 ? 0 : Choice().disk;
  const int held = count > 1 ? count : 1;
  if (disk >= held) {
    console::Note(image + ": the file holds " + std::to_string(held) +
                  (held == 1 ? " disk" : " disks") + "; there is no disk " + std::to_string(disk));
    return -1;
  }
  SelectImageDisk(Disks, count, disk);
  return 0;
}

void StartSession(const console::Settings& settings, const std::string& mode, bool ascii) {
  console::Reset(settings);
  ResetAppState();
  App.MachineMode = (mode == "pc" || mode == "PC") ? kModePc : kModeMz;
  App.TransferMode = ascii ? kTransferAscii : kTransferBinary;
  SetupListColumns();
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
  int result;
  const std::string path = codes.empty() ? InstalledCodeFile() : codes;
  if (path.empty()) {
    result = LoadCodeTables(console::kMainWindow);
  } else {
    std::FILE* stream = PlatformOpenHostFile(path.c_str(), "rb");
    if (!stream) {
      PlatformMessageBox(console::kMainWindow, kMsgCodeFileMissing, kCaptionError, kMbOk);
      result = -1;
    } else {
      result = ReadCodeTables(stream, &App.Tables);
      std::fclose(stream);
    }
  }
  if (result != 0) {
    PlatformMessageBox(console::kMainWindow, kMsgCreateFailed, kCaptionError, kMbOk);
    return -1;
  }
  return 0;
}

void Report(const Outcome& outcome) {
  for (int i = 0; i < outcome.count; i++) {
    const char* format = outcome.messages[i].format;
    console::ShowMessage(OutcomeText(&outcome, i), OutcomeTextEn(&outcome, i),
                         outcome.messages[i].caption, kMbOk, format);
    // The journal messages name the file only by pattern: say which file it is.
    if (format == kMsgJournalForeign || format == kMsgJournalBlocksWrite ||
        format == kMsgJournalCreateFailed || format == kMsgJournalRecoverFailed) {
      char journal[kPathCapacity + 16];
      if (ImageJournalPath(App.ImagePath, journal, sizeof journal) == 0)
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
    if (IdentifyCurrentImage(console::kMainWindow, &id) != 0) return 0;  // the read says why
    if (id.verdict == kVerdictNone) {
      Refusal().push_back(image + ": " + VerdictText(id));
      for (const std::string& line : ReasonLines(id)) Refusal().push_back(line);
      for (const std::string& line : Refusal()) console::Note(line);
      return -1;
    }
    App.MachineMode = id.verdict;
    return 0;
  }
  // An image that cannot be identified is read as given: the read then says what is wrong.
  ImageTarget target;
  AppImageTarget(&target);
  if (IdentifyImage(&target, App.ImageFormat, &id) != 0) return 0;
  if (!mode.empty()) {
    const int other = OtherConvention(id, App.MachineMode);
    if (other != kVerdictNone)
      NoteText(image, other == kModePc ? kWebLooksRecordedPc : kWebLooksRecordedMz);
    return 0;
  }
  App.MachineMode = id.verdict == kVerdictNone ? kModeMz : id.verdict;
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
  if (image.size() >= sizeof App.ImagePath) {
    Report(kCaptionError, kMsgPathTooLong);
    return -1;
  }
  if (ExtensionFormat(image) < 0) {
    Report(kCaptionExtension, kMsgBadExtension);
    return -1;
  }
  if (change && HoldImage(image.c_str(), true) != 0) return -1;
  if (AimAtImage(image) != 0) return -1;
  if (App.DiskCount > 1 && Choice().disk < 0)
    console::Note(image + ": the file holds " + std::to_string(App.DiskCount) +
                  " disks; disk 0 is used (choose one with --disk N)");
  if (ChooseConvention(image, change) != 0) return -1;
  // The load: a journal left by an interrupted change first, then the volume, read in one go.
  Outcome out;
  OutcomeClear(&out);
  int result = RecoverImageJournal(&out, App.ImagePath);
  if (result == 0 && !change && HoldImage(App.ImagePath, false) != 0) {
    Report(out);
    return -1;
  }
  if (result == 0) {
    static ImageSession session;
    ImageTarget target;
    AppImageTarget(&target);
    ImageSessionOpen(&session, target.path);
    target.session = &session;
    result = ReadVolume(&target, &App, &out);
    ImageSessionClose(&session);
  }
  Report(out);
  if (result != 0) {
    const std::string reason = SystemReason(image, false);
    if (!reason.empty()) console::Note(image + ": " + reason);
  } else if (change && RefuseIfNotWritable(image) != 0) {
    result = -1;
  }
  App.VolumeLoaded = result == 0 ? 1 : 0;
  return result;
}

int CountFiles() {
  int files = 0;
  const int slots = App.EntryCount < kDirectoryBufferBytes / kEntryBytes
                        ? App.EntryCount
                        : kDirectoryBufferBytes / kEntryBytes;
  for (int k = 0; k < slots; ++k)
    if (App.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) files++;
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
  if (slot < 0 || slot >= App.EntryCount) return -1;
  if (App.DirectoryBuffer[slot * kEntryBytes + kEntryType] == 0) return -1;
  int row = 0;
  for (int k = 0; k < slot; ++k)
    if (App.DirectoryBuffer[k * kEntryBytes + kEntryType] != 0) row++;
  return row;
}

std::string StoredName(int slot) {
  const uint8_t* name = App.DirectoryBuffer + slot * kEntryBytes + kEntryName;
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
