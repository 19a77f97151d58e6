#include "image/image_select.h"

#include <cstddef>
#include <cstring>

#include "image/change_history.h"
#include "image/d88_disks.h"
#include "image/image_file.h"
#include "platform/filter_list.h"
#include "texts/texts.h"
#include "volume/app_state.h"
#include "flows/volume_load.h"

namespace {

constexpr int kPartMax = 255;  // the path splitter's limit for a file name or an extension
constexpr unsigned long kFnerrBufferTooSmall = 0x3003;

// Lead bytes of a double-byte character in code page 932. A UTF-8 path (see PathCodePage) has
// none: no byte of a multi-byte UTF-8 character is a separator or a dot.
bool IsLeadByte(unsigned char byte) {
  if (PathCodePage == kPathCodePageUtf8) return false;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Where the parts of a path begin: the file name (after the drive and the directory), its last
// '.' (or null) and the terminating zero.
struct PathParts {
  const char* name;
  const char* dot;
  const char* end;
};

PathParts WalkPath(const char* path) {
  const char* p = path;
  if (p[0] != '\0' && p[1] == ':') p += 2;  // a drive letter and its colon
  const char* start = p;
  const char* lastSlash = nullptr;
  const char* dot = nullptr;
  while (*p != '\0') {
    if (IsLeadByte(static_cast<unsigned char>(*p))) {
      // The trail byte goes with its lead byte; a lead byte at the very end stands alone.
      if (p[1] == '\0') {
        p++;
        break;
      }
      p += 2;
      continue;
    }
    if (*p == '/' || *p == '\\')
      lastSlash = p + 1;
    else if (*p == '.')
      dot = p;
    p++;
  }
  PathParts parts{lastSlash ? lastSlash : start, nullptr, p};
  if (dot && dot >= parts.name) parts.dot = dot;
  return parts;
}

// Copies at most `limit` bytes of [from, to) and a zero byte, within `capacity` bytes.
void CopyPart(const char* from, const char* to, int limit, char* out, int capacity) {
  if (capacity <= 0) return;
  std::ptrdiff_t n = to - from;
  if (n > limit) n = limit;
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(out, from, static_cast<size_t>(n));
  out[n] = '\0';
}

constexpr auto kOpenFilter = JoinFilter(kFilterAllFilesJa, "*.*", kFilterFlat, "*.2d", kFilterD88,
                                        "*.d88", kFilterD20, "*.d20");

struct ExtensionFormat {
  const char* extension;
  int format;
};
constexpr ExtensionFormat kExtensionTable[] = {
    {".2d", kFormat2D}, {".d20", kFormatD20}, {".d88", kFormatD88}, {".d77", kFormatD88}};

// After the choice: the extension check, then the load. `length` is ChosenPath's; `previous` is
// what ChosenPath held before the choice (put back when the disk choice is cancelled).
void OpenChosenImage(WindowHandle owner, size_t length, const char* previous);

}  // namespace

void SplitExtension(const char* path, char* extension, int capacity) {
  const PathParts parts = WalkPath(path);
  if (!parts.dot) {
    CopyPart(parts.end, parts.end, 0, extension, capacity);
    return;
  }
  CopyPart(parts.dot, parts.end, kPartMax, extension, capacity);
}

void SplitFileName(const char* path, char* name, int capacity) {
  if (capacity <= 0) return;
  const PathParts parts = WalkPath(path);
  const char* baseEnd = parts.dot ? parts.dot : parts.end;
  CopyPart(parts.name, baseEnd, kPartMax, name, capacity);
  if (parts.dot) {
    const int used = static_cast<int>(std::strlen(name));
    CopyPart(parts.dot, parts.end, kPartMax, name + used, capacity - used);
  }
}

void SplitDirectory(const char* path, char* directory, int capacity) {
  const PathParts parts = WalkPath(path);
  CopyPart(path, parts.name, capacity, directory, capacity);
}

int FormatForExtension(const char* lowerExtension) {
  for (const ExtensionFormat& row : kExtensionTable)
    if (std::strcmp(lowerExtension, row.extension) == 0) return row.format;
  return -1;
}

void OpenImageCommand(WindowHandle owner) {
  // The dialog writes into ChosenPath; a choice that is refused before it is read puts the
  // previous contents back, so a refusal changes nothing.
  char previous[kPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);

  FileDialogRequest request{};
  request.structSize = 76;
  request.filter = kOpenFilter.data();
  request.filterIndex = 0;
  request.file = App.ChosenPath;
  request.fileCapacity = kPathCapacity;
  request.title = kOpenDialogTitle;
  request.flags = kOfnFileMustExist | kOfnHideReadOnly;
  request.defExt = "*";
  if (!PlatformGetOpenFileName(owner, &request)) {
    const unsigned long error = PlatformCommDlgExtendedError();
    std::memcpy(App.ChosenPath, previous, sizeof previous);
    if (error == kFnerrBufferTooSmall)
      PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }
  const size_t length = strnlen(App.ChosenPath, kPathCapacity);
  if (length >= static_cast<size_t>(kPathCapacity)) {
    std::memcpy(App.ChosenPath, previous, sizeof previous);
    PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }

  OpenChosenImage(owner, length, previous);
}

void OpenImagePath(WindowHandle owner, const char* path) {
  const size_t length = strnlen(path, kPathCapacity);
  if (length >= static_cast<size_t>(kPathCapacity)) {
    PlatformMessageBox(owner, kMsgPathTooLong, kCaptionError, kMbOk);
    return;
  }
  char previous[kPathCapacity];
  std::memcpy(previous, App.ChosenPath, sizeof previous);
  std::memcpy(App.ChosenPath, path, length + 1);
  OpenChosenImage(owner, length, previous);
}

namespace {

void OpenChosenImage(WindowHandle owner, size_t length, const char* previous) {
  char extension[kPartMax + 1];
  SplitExtension(App.ChosenPath, extension, sizeof extension);
  for (char* p = extension; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  const int format = FormatForExtension(extension);
  if (format < 0) {
    PlatformMessageBox(owner, kMsgBadExtension, kCaptionExtension, kMbOk);
    return;
  }
  // A D88 file of several disks: the user chooses one; cancelling changes nothing.
  D88Disk disks[kD88MaxDisks];
  int count = 0;
  int disk = 0;
  if (format != kFormat2D) {
    count = D88ListDisksAt(App.ChosenPath, disks, kD88MaxDisks);
    if (count > 1) {
      disk = ChooseD88Disk(owner, disks, count);
      if (disk < 0) {
        std::memcpy(App.ChosenPath, previous, kPathCapacity);
        return;
      }
    }
  }
  App.ImageFormat = format;
  std::memcpy(App.ImagePath, App.ChosenPath, length + 1);
  SelectD88Disk(disks, count, disk);
  ChangeHistoryClear();  // the changes of the image shown before cannot be undone on this one
  LoadVolume(owner);
}

}  // namespace
