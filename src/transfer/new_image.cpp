#include "transfer/new_image.h"

#include <cstdio>
#include <cstring>

#include "image/change_history.h"
#include "image/container.h"
#include "image/image_file.h"
#include "image/image_lock.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"

namespace {

// Work areas of one command; only one command runs at a time.
uint8_t Volume[kVolumeBytes];
uint8_t LikeTracks[kSystemTracksBytes];

void SayNamed(Outcome* out, const char* format, const char* path) {
  Say(out, kCaptionError, format, path);
}

// Writes the volume into the file at `temp`, already created empty, and flushes it. 0 or -1.
// The date a container stamps into a new image (IMD): the volume's date at midnight, its
// two-digit year 80-99 as 19YY and 00-79 as 20YY.
ContainerStamp VolumeDateStamp(const uint8_t* bcd) {
  auto value = [](uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); };
  const int year = value(bcd[0]);
  return ContainerStamp{
      year >= 80 ? 1900 + year : 2000 + year, value(bcd[1]), value(bcd[2]), 0, 0, 0};
}

int FillImage(Outcome* out, const NewImageRequest& request, const char* temp) {
  // A new image is a file of one disk.
  ImageTarget target;
  ImageTargetFor(&target, temp, ContainerForFormat(request.imageFormat), request.machineMode);
  target.change = request.change;
  // The whole volume through the sector writer: the layout and the convention (sides swapped,
  // bytes inverted under MZ) are applied exactly as every later read undoes them; a change of
  // its own.
  EncodeSectorRun(Volume, kVolumeBytes, target.machineMode);
  if (BeginImageChange(out, &target) != 0) return -1;
  const int status = QueueSectorRun(&target, Volume, 0, 1, kVolumeBytes);
  if (status != kImageOk) {
    SayText(out, kCaptionWrite, ImageStatusText(status), ImageStatusText(status));
    ImageAbortChange(target.change);
    return -1;
  }
  // A new file is no step of any image's history.
  ChangeHistory* history = target.change ? target.change->history : nullptr;
  if (target.change) target.change->history = nullptr;
  const int committed = CommitImageChange(out, target.change);
  if (target.change) target.change->history = history;
  if (committed != 0) return -1;
  ImageFile file;
  if (ImageFileOpenUpdate(temp, &file) != 0) return -1;
  const int result = ImageFileSync(&file);
  ImageFileClose(&file);
  return result;
}

}  // namespace

int MakeNewImage(Outcome* out, const NewImageRequest& request) {
  if (std::strlen(request.path) >= kPathCapacity) {
    SayText(out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
    return -1;
  }
  if (!request.replace && ImageFileExists(request.path) != 0) {
    SayNamed(out, kMsgNewImageExists, request.path);
    return -1;
  }
  // A kind that is only read (SCP) is never made.
  const ContainerKind* made = ContainerForFormat(request.imageFormat);
  if (made && !made->writeBlank) {
    const char* text = made->readOnlyText ? made->readOnlyText : kMsgDecodedReadOnly;
    SayText(out, kCaptionError, text, text);
    return -1;
  }
  FormatOptions options = request.volume;
  options.like = nullptr;
  if (request.likePath) {
    // The image it is made like is read as a file of one disk.
    ImageTarget like;
    if (ImageTargetFor(&like, request.likePath, ContainerForFormat(request.likeFormat),
                       request.likeMode) != 0) {
      SayText(out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
      return -1;
    }
    std::memset(LikeTracks, 0, sizeof LikeTracks);
    const int status = ReadSectors(&like, LikeTracks, 0, 1, kSystemTracksBytes);
    if (status != kImageOk) {
      SayText(out, kCaptionRead, ImageStatusText(status), ImageStatusText(status));
      return -1;
    }
    options.like = LikeTracks;
  }
  if (request.prepared)
    std::memcpy(Volume, request.prepared, sizeof Volume);
  else
    FormatVolume(options, Volume);

  char temp[kPathCapacity];
  ImageFile file;
  if (ImageFileTemporaryName(request.path, temp) != 0 || ImageFileCreate(temp, &file) != 0) {
    SayNamed(out, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  const ContainerKind* kind = ContainerForFormat(request.imageFormat);
  const ContainerStamp stamp = VolumeDateStamp(request.volume.date);
  const int container =
      kind ? kind->writeBlank(
                 &file, request.containerName ? request.containerName : request.volume.diskName,
                 &stamp)
           : -1;
  ImageFileClose(&file);
  if (container != 0 || FillImage(out, request, temp) != 0) {
    ImageFileRemove(temp);
    SayNamed(out, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  // A file that appeared at the target meanwhile is not replaced unless asked.
  if (!request.replace && ImageFileExists(request.path) != 0) {
    ImageFileRemove(temp);
    SayNamed(out, kMsgNewImageExists, request.path);
    return -1;
  }
  const int replaced = ImageFileReplace(temp, request.path);
  if (replaced != 0) {
    ImageFileRemove(temp);
    if (replaced == kImageFileBusy)
      SayText(out, kCaptionError, kMsgImageBusy, kMsgImageBusy);
    else
      SayNamed(out, kMsgNewImageCreateFailed, request.path);
    return -1;
  }
  return 0;
}

namespace {

// Whole decimal text of 1 to `maxDigits` digits; its value, or -1.
long DecimalField(const char* text, int maxDigits) {
  const size_t n = std::strlen(text);
  if (n == 0 || n > static_cast<size_t>(maxDigits)) return -1;
  long value = 0;
  for (size_t i = 0; i < n; i++) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

uint8_t Bcd(long value) { return static_cast<uint8_t>(value / 10 * 16 + value % 10); }

}  // namespace

namespace {

constexpr uint16_t kShownUnknown = 0x8148;    // the table's mark of a code it cannot show: ？
constexpr uint16_t kVoicedMark = 0x814A;      // ゛
constexpr uint16_t kSemiVoicedMark = 0x814B;  // ゜
constexpr uint16_t kKatakanaVu = 0x8394;      // ヴ
constexpr uint16_t kKatakanaU = 0x8345;       // ウ

// The code the table shows as `shown` (a double-byte character), or -1.
int CodeShownAs(const uint16_t* tbl1, uint16_t shown) {
  for (int code = 1; code < 256; code++)
    if (tbl1[code] == shown && (shown != kShownUnknown || code == '?')) return code;
  return -1;
}

// A voiced or semi-voiced full-width katakana as its base and mark; false for any other.
bool SplitVoiced(uint16_t c, uint16_t* base, uint16_t* mark) {
  if (c == kKatakanaVu) {
    *base = kKatakanaU;
    *mark = kVoicedMark;
    return true;
  }
  // ガ-ゾ and ダ-ヂ follow their base; ヅ-ド after ッツ likewise; バ/パ-ボ/ポ in threes.
  const bool ka = c >= 0x834B && c <= 0x8361 && (c - 0x834B) % 2 == 0;
  const bool tsu = c == 0x8364 || c == 0x8366 || c == 0x8368;
  if (ka || tsu) {
    *base = static_cast<uint16_t>(c - 1);
    *mark = kVoicedMark;
    return true;
  }
  if (c >= 0x836F && c <= 0x837C) {
    const int step = (c - 0x836E) % 3;  // 0 base, 1 voiced, 2 semi-voiced
    if (step == 0) return false;
    *base = static_cast<uint16_t>(c - step);
    *mark = step == 1 ? kVoicedMark : kSemiVoicedMark;
    return true;
  }
  return false;
}

bool LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int DiskNameInTable(const char* typed, const uint16_t* tbl1, char* name, int capacity,
                    char* lacking) {
  int length = 0;
  const auto put = [&](int code) {
    if (length + 1 >= capacity) return false;
    name[length++] = static_cast<char>(code);
    return true;
  };
  const auto* p = reinterpret_cast<const unsigned char*>(typed);
  bool fits = true;
  while (*p != 0) {
    if (!LeadByte(p[0]) || p[1] == 0 || !tbl1) {
      fits = put(p[0]) && fits;
      p++;
      continue;
    }
    const uint16_t shown = static_cast<uint16_t>(p[0] << 8 | p[1]);
    int code = CodeShownAs(tbl1, shown);
    uint16_t base = 0, mark = 0;
    int second = -1;
    if (code < 0 && SplitVoiced(shown, &base, &mark)) {
      code = CodeShownAs(tbl1, base);
      second = CodeShownAs(tbl1, mark);
      if (second < 0) code = -1;
    }
    if (code < 0) {
      if (lacking) {
        lacking[0] = static_cast<char>(p[0]);
        lacking[1] = static_cast<char>(p[1]);
        lacking[2] = '\0';
      }
      name[length] = '\0';
      return -2;
    }
    fits = put(code) && fits;
    if (second >= 0) fits = put(second) && fits;
    p += 2;
  }
  name[length] = '\0';
  return fits ? 0 : -1;
}

void SayNewVolumeRefusal(Outcome* out, const char* message, const char* lacking) {
  if (message == kMsgDiskNameNotInTable)
    Say(out, kCaptionError, kMsgDiskNameNotInTable, lacking ? lacking : "");
  else
    SayText(out, kCaptionError, message, message);
}

int CheckNewVolumeTexts(const NewVolumeTexts& texts, FormatOptions* options, const char** message,
                        char* lacking) {
  std::memset(options, 0, sizeof *options);
  char unused[3];
  const int named = DiskNameInTable(texts.diskName, texts.tbl1, options->diskName,
                                    sizeof options->diskName, lacking ? lacking : unused);
  if (named != 0) {
    *message = named == -2 ? kMsgDiskNameNotInTable : kMsgBadDiskName;
    return -1;
  }
  const long number = DecimalField(texts.volumeNumber, 5);
  if (number < 0 || number > 65535) {
    *message = kMsgBadVolumeNumber;
    return -1;
  }
  options->volumeNumber = static_cast<unsigned>(number);
  const long year = DecimalField(texts.year, 2);
  if (year < 0) {
    *message = kMsgBadYear;
    return -1;
  }
  const long month = DecimalField(texts.month, 2);
  if (month < 1 || month > 12) {
    *message = kMsgBadMonth;
    return -1;
  }
  const long day = DecimalField(texts.day, 2);
  if (day < 1 || day > 31) {
    *message = kMsgBadDay;
    return -1;
  }
  options->date[0] = Bcd(year);
  options->date[1] = Bcd(month);
  options->date[2] = Bcd(day);
  options->exdir = texts.exdir;
  return 0;
}
