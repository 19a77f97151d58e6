// The page's C API: the core's operations called as zelvo calls them, each result and Outcome
// handed back as JSON (web_api.h).
#include "web_api.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "codes/code_tables.h"
#include "image/change_history.h"
#include "image/container.h"
#include "image/host_files.h"
#include "image/image_select.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "texts/texts.h"
#include "transfer/batch_import.h"
#include "transfer/convention_guard.h"
#include "transfer/convert_image.h"
#include "transfer/delete_files.h"
#include "transfer/edit_attributes.h"
#include "transfer/export.h"
#include "transfer/identify_command.h"
#include "transfer/import.h"
#include "transfer/new_image.h"
#include "transfer/undelete.h"
#include "transfer/volume_change.h"
#include "view/check_report.h"
#include "view/deleted_view.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "view/sector_dump.h"
#include "view/sector_owner.h"
#include "view/status_bar.h"
#include "volume/bit_table_repair.h"
#include "volume/format.h"
#include "volume/identify.h"
#include "volume/layout.h"
#include "volume/volume_check.h"
#include "volume/volume_read.h"
#include "web_json.h"
#include "web_paths.h"

namespace {

// What the page has open: one image, one disk of it, under one convention.
struct Page {
  CodeTables tables;
  bool tablesLoaded;
  VolumeState volume;
  ImageTarget target;
  int format;
  int transferMode;
  bool loaded;
  ImageDisk disks[kMaxImageDisks];  // of the open file (count: target.diskCount)
  ImageChange change;               // the open image's change in progress
  ChangeHistory history;            // and its committed changes, for undo and redo
};
Page P;

// The open image's last change, for a container that records one (in UTC, so the same input
// gives the same bytes).
ContainerStamp StampOf(const char* path) {
  ContainerStamp stamp{1980, 1, 1, 0, 0, 0};
  struct stat info;
  if (stat(path, &info) != 0) return stamp;
  std::tm parts{};
  if (!gmtime_r(&info.st_mtime, &parts)) return stamp;
  return ContainerStamp{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                        parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

VolumeView ViewOf(const VolumeState& volume) {
  return VolumeView{volume.SystemArea,   volume.DirectoryBuffer, volume.EntryCount,
                    volume.ExdirPresent, volume.ExdirTrack,      volume.ExdirSector};
}

// The English of a table text.
const char* En(const char* ja) { return TextEn(TextIdOf(ja)); }

// The steps between a check and its write.
struct Pending {
  uint8_t entry[kEntryBytes];
  ImportPlan plan;
  int slot;
  DeletePlan deletePlan;
  UndeletePlan undeletePlan;
  bool import, edit, erase, undelete;
};
Pending Wait;

std::string Result;

const char* Done(web::Json& json) {
  json.End();
  Result = json.Text();
  return Result.c_str();
}

void Messages(web::Json& json, const Outcome& out) {
  json.BeginArray("messages");
  for (int i = 0; i < out.count; i++) {
    const OutcomeMessage& m = out.messages[i];
    json.ItemObject()
        .Field("caption", m.caption)
        .Field("captionEn", TextEn(TextIdOf(m.caption)))
        .Field("text", OutcomeText(&out, i))
        .Field("textEn", OutcomeTextEn(&out, i))
        .Field("id", TextName(TextIdOf(m.format)))
        .End();
  }
  json.EndArray();
  if (out.dropped > 0) json.Field("dropped", out.dropped);
}

// A result of `ok` with the outcome's messages.
const char* Answer(bool ok, const Outcome& out) {
  web::Json json;
  json.Begin().Flag("ok", ok);
  Messages(json, out);
  return Done(json);
}

const char* Said(bool ok, const char* caption, const char* text, const char* textEn = nullptr) {
  Outcome out;
  OutcomeClear(&out);
  SayText(&out, caption, text, text, textEn);
  return Answer(ok, out);
}

int Slots() {
  const int capacity = kDirectoryBufferBytes / kEntryBytes;
  return P.volume.EntryCount < capacity ? P.volume.EntryCount : capacity;
}

bool UsedSlot(int slot) {
  return slot >= 0 && slot < Slots() && P.volume.DirectoryBuffer[slot * kEntryBytes] != 0;
}

void Listing(web::Json& json) {
  json.Flag("loaded", P.loaded)
      .Field("format", ContainerFormatName(P.format) ? ContainerFormatName(P.format) : "")
      .Field("mode", P.target.machineMode == kModePc ? "PC" : "MZ")
      .Field("disk", P.target.diskIndex)
      .Field("disks", P.target.diskCount)
      .Flag("ascii", P.transferMode == kTransferAscii)
      .Flag("canUndo", ChangeHistoryCanUndo(&P.history))
      .Flag("canRedo", ChangeHistoryCanRedo(&P.history))
      .Flag("protected", P.loaded && ImageWriteProtected(&P.target));
  json.BeginArray("columns");
  for (int c = 0; c < kColumnCount; c++) json.Item(kColumnTitles[c]);
  json.EndArray();
  int files = 0;
  // What the container says of each file's sectors: a damaged file is marked in the list.
  static VolumeHealth health;
  static FileDamage damage;
  const bool known = P.loaded && ReadVolumeHealth(&P.target, &health) == 0;
  if (known)
    CountFileDamage(ViewOf(P.volume), health, &damage);
  else
    std::memset(&damage, 0, sizeof damage);
  json.BeginArray("rows");
  for (int slot = 0; P.loaded && slot < Slots(); slot++) {
    if (!UsedSlot(slot)) continue;
    DirectoryRow row;
    FormatDirectoryRow(P.volume.DirectoryBuffer + slot * kEntryBytes, P.tables.TBL1, &row);
    // The date column sorts as the window sorts it (years 70-99 before 00-69).
    char dateKey[kCellCapacity + 2];
    DateSortKey(row.cells[kColDate], dateKey, sizeof dateKey);
    // Where its data starts, for the sector view's "file sectors".
    const uint8_t* entry = P.volume.DirectoryBuffer + slot * kEntryBytes;
    json.ItemObject()
        .Field("slot", slot)
        .Field("dateKey", dateKey)
        .Field("trk", entry[kEntryTrk])
        .Field("sct", entry[kEntrySct])
        .Field("damaged", damage.bad[slot] + damage.missing[slot])
        .BeginArray("cells");
    for (int c = 0; c < kColumnCount; c++) json.Item(row.cells[c]);
    json.EndArray().End();
    files++;
  }
  json.EndArray();
  // Whether 削除したファイルの復元 has anything to list (the window greys it otherwise).
  static DeletedEntry deleted[kMaxSlots];
  json.Field("deleted", P.loaded ? ListDeletedEntries(&P.volume, deleted, kMaxSlots) : 0);
  char panel[kPanelTextCapacity] = "";
  if (P.loaded)
    ComposeInfoText(P.volume.SystemArea, P.volume.ExdirPresent, P.volume.ExdirTrack,
                    P.volume.ExdirSector, files, panel);
  json.Field("panel", panel);
  char modes[kStatusCapacity];
  char volume[kStatusCapacity];
  char volumeEn[kStatusCapacity];
  ComposeModeStatus(P.target.machineMode, P.transferMode, modes, sizeof modes);
  // As the window's status bar: the largest file that still fits and the write-protection mark;
  // the volume's part in both languages.
  VolumeStatusFacts facts{P.loaded, files, P.volume.SystemArea + kSysBitTable,
                          P.loaded && ImageWriteProtected(&P.target)};
  ComposeVolumeStatusLine(facts, volume, sizeof volume);
  ComposeVolumeStatusLine(facts, volumeEn, sizeof volumeEn, true);
  json.BeginArray("status").Item(modes).Item(volume).Item(volumeEn).EndArray();
  char damaged[kStatusCapacity] = "";
  char damagedEn[kStatusCapacity] = "";
  if (damage.files > 0) {
    std::snprintf(damaged, sizeof damaged, kStatusDamagedFiles, damage.files);
    std::snprintf(damagedEn, sizeof damagedEn, En(kStatusDamagedFiles), damage.files);
  }
  json.Field("damagedFiles", damage.files).Field("damaged", damaged).Field("damagedEn", damagedEn);
}

// The volume read again after a change or a refusal: a journal left behind is settled first.
void Reload(Outcome* out) {
  if (RecoverImageJournal(out, &P.target) == 0)
    P.loaded = ReadVolumeState(out, &P.target, &P.volume) == 0;
}

const char* ListingAnswer(bool ok, const Outcome& out) {
  web::Json json;
  json.Begin().Flag("ok", ok);
  Messages(json, out);
  Listing(json);
  return Done(json);
}

// The texts as the attribute dialog reads them back (a missing field empty): the one typing of
// attribute texts.
void TypedTexts(AttributeTexts* texts, const char* name, const char* type, const char* start,
                const char* exec, const char* year, const char* month, const char* day, int lock) {
  auto given = [](const char* text) { return text ? text : ""; };
  TypedAttributes typed;
  typed.name = given(name);
  typed.type = given(type);
  typed.start = given(start);
  typed.exec = given(exec);
  typed.year = given(year);
  typed.month = given(month);
  typed.day = given(day);
  typed.lock = lock != 0 ? 1 : 0;
  TypeAttributeTexts(typed, texts);
}

const char* TextsAnswer(const AttributeTexts& texts) {
  web::Json json;
  json.Begin()
      .Flag("ok", true)
      .Field("name", texts.name)
      .Field("type", texts.typeItem ? texts.typeItem : "")
      .Field("start", texts.start)
      .Field("exec", texts.exec)
      .Field("year", texts.year)
      .Field("month", texts.month)
      .Field("day", texts.day)
      .Flag("lock", texts.lockSelected);
  json.BeginArray("types");
  for (int t = 1; AttributeTypeName(t); t++) json.Item(AttributeTypeName(t));
  json.EndArray();
  return Done(json);
}

const char* Question(const char* text, const char* textEn) {
  web::Json json;
  json.Begin()
      .Flag("ok", true)
      .Field("caption", kCaptionConfirm)
      .Field("captionEn", TextEn(TextIdOf(kCaptionConfirm)))
      .Field("question", text)
      .Field("questionEn", textEn);
  return Done(json);
}

// The start of a change to the files of `slots`: the image writable and the slots as loaded.
bool BeginFileChange(const int* slots, int count, Outcome* out) {
  if (!P.loaded) return false;
  if (RefuseChange(out, &P.target) != 0) return false;
  const int reread = RereadForChange(out, &P.target, &P.volume, slots, count);
  if (reread == kRereadChanged) Reload(out);
  return reread == kRereadSame;
}

}  // namespace

ZW_API const char* zw_load_codes(const char* path) {
  std::FILE* stream = std::fopen(path, "rb");
  Outcome out;
  OutcomeClear(&out);
  if (!stream) {
    SayText(&out, kCaptionError, kMsgCodeFileMissing, kMsgCodeFileMissing);
    return Answer(false, out);
  }
  CodeTables tables;
  const int result = ReadCodeTables(stream, &tables);
  std::fclose(stream);
  if (result != 0) {
    SayText(&out, kCaptionError, kMsgCreateFailed, kMsgCreateFailed);
    return Answer(false, out);
  }
  P.tables = tables;
  P.tablesLoaded = true;
  return Answer(true, out);
}

ZW_API const char* zw_disks(const char* path) {
  ImageTarget target;
  ImageTargetFor(&target, path, ContainerForFormat(FormatForPath(path)), kModeMz);
  if (!target.kind) {
    uint8_t head[kContainerHeadBytes];
    int64_t size = 0;
    if (ImageReadHead(&target, head, &size) == 0) target.kind = RecogniseContainer(head, size);
  }
  static ImageDisk disks[kMaxImageDisks];
  const int count = target.kind ? ImageListDisks(&target, disks, kMaxImageDisks) : 0;
  // What the bytes are, whatever the extension says: empty, a container's, or none.
  uint8_t head[kContainerHeadBytes];
  int64_t size = 0;
  const ContainerKind* recognised =
      ImageReadHead(&target, head, &size) == 0 ? RecogniseContainer(head, size) : nullptr;
  web::Json json;
  json.Begin()
      .Flag("ok", count >= 0)
      .Field("recognised", recognised ? recognised->name : "")
      .Flag("empty", size == 0)
      .BeginArray("disks");
  for (int i = 0; i < (count > 1 ? count : 1); i++) {
    json.ItemObject().Field("index", i);
    if (count > 1) {
      // As the Windows program's chooser numbers them.
      char item[64];
      char itemEn[64];
      std::snprintf(item, sizeof item, kDiskItemFormat, i, disks[i].name);
      std::snprintf(itemEn, sizeof itemEn, TextEn(TextIdOf(kDiskItemFormat)), i, disks[i].name);
      json.Field("item", item).Field("itemEn", itemEn).Flag("protected", disks[i].writeProtected);
    }
    json.End();
  }
  json.EndArray();
  return Done(json);
}

ZW_API const char* zw_open(const char* path, int disk, int mode, int ascii) {
  Outcome out;
  OutcomeClear(&out);
  ChangeHistoryClear(&P.history);
  ImageChangeInit(&P.change);
  P.change.history = &P.history;
  P.loaded = false;
  P.transferMode = ascii ? kTransferAscii : kTransferBinary;
  std::memset(&P.volume, 0, sizeof P.volume);
  if (!path || !*path) return ListingAnswer(false, out);
  if (std::strlen(path) >= static_cast<size_t>(kPathCapacity)) {
    SayText(&out, kCaptionError, kMsgHostPathTooLong, kMsgHostPathTooLong);
    return ListingAnswer(false, out);
  }
  P.format = FormatForPath(path);
  if (P.format < 0) {
    SayText(&out, kCaptionExtension, kMsgBadExtension, kMsgBadExtension);
    return ListingAnswer(false, out);
  }
  ImageTargetFor(&P.target, path, ContainerForFormat(P.format), mode == 1 ? kModePc : kModeMz);
  P.target.change = &P.change;
  ImageDisk* disks = P.disks;
  int count = ImageListDisks(&P.target, disks, kMaxImageDisks);
  if (count < 0) count = 0;
  const bool several = count > 1 && disk >= 0 && disk < count;
  P.target.diskBase = several ? disks[disk].base : 0;
  P.target.diskEnd = several ? disks[disk].end : 0;
  P.target.diskIndex = several ? disk : 0;
  P.target.diskCount = count;

  static Identification id;
  int verdict = -1;
  static char said[kIdentifyTextCapacity];
  static char saidEn[kIdentifyTextCapacity];
  said[0] = saidEn[0] = '\0';
  // Under Auto, as zelvo --mode auto: the identification first, refused when it finds none.
  if (mode == 2 && IdentifyImage(&P.target, P.format, &id) == 0) {
    verdict = id.verdict;
    ComposeIdentifyText(id, said, sizeof said);
    ComposeIdentifyText(id, saidEn, sizeof saidEn, true);
    if (id.verdict == kVerdictNone) {
      web::Json json;
      json.Begin().Flag("ok", false);
      Messages(json, out);
      json.BeginObject("identify")
          .Field("verdict", -1)
          .Field("text", said)
          .Field("textEn", saidEn)
          .End();
      Listing(json);
      return Done(json);
    }
    P.target.machineMode = id.verdict;
  }
  int result = RecoverImageJournal(&out, &P.target);
  if (result == 0) {
    static ImageSession session;
    ImageSessionOpen(&session, P.target.path);
    P.target.session = &session;
    result = ReadVolume(&P.target, &P.volume, &out);
    ImageSessionClose(&session);
    P.target.session = nullptr;
  }
  P.loaded = result == 0;
  // Under a chosen convention that identify contradicts, the page says what the disk looks like.
  int looks = kVerdictNone;
  if (P.loaded && mode != 2 && IdentifyImage(&P.target, P.format, &id) == 0)
    looks = OtherConvention(id, P.target.machineMode);
  web::Json json;
  json.Begin().Flag("ok", P.loaded);
  Messages(json, out);
  json.BeginObject("identify")
      .Field("verdict", verdict)
      .Field("text", said)
      .Field("textEn", saidEn)
      .End();
  json.Field("looks", looks);
  Listing(json);
  return Done(json);
}

ZW_API const char* zw_listing() {
  Outcome out;
  OutcomeClear(&out);
  return ListingAnswer(P.loaded, out);
}

ZW_API const char* zw_set_transfer(int ascii) {
  P.transferMode = ascii ? kTransferAscii : kTransferBinary;
  return zw_listing();
}

ZW_API const char* zw_identify() {
  static Identification id;
  if (!P.loaded || IdentifyImage(&P.target, P.format, &id) != 0)
    return Said(false, kCaptionError, kMsgIdentifyFailed);
  static char text[kIdentifyTextCapacity];
  static char textEn[kIdentifyTextCapacity];
  ComposeIdentifyText(id, text, sizeof text);
  ComposeIdentifyText(id, textEn, sizeof textEn, true);
  web::Json json;
  json.Begin()
      .Flag("ok", true)
      .Field("verdict", id.verdict)
      .Field("text", text)
      .Field("textEn", textEn);
  return Done(json);
}

ZW_API const char* zw_export(int slot, const char* outPath) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded || !UsedSlot(slot)) return Answer(false, out);
  ExportFile file;
  ExportFileOfEntry(P.volume.DirectoryBuffer + slot * kEntryBytes, P.tables.TBL1, &file);
  char shown[kHostNameBytes];
  DefaultExportName(&file, shown);
  char name[kHostNameBytes];
  if (PlatformHostFileName(shown, name, sizeof name) != 0) name[0] = '\0';
  const uint8_t* data = nullptr;
  long length = 0;
  bool ok = ReadExportData(&P.target, &file, P.transferMode == kTransferAscii, P.tables.TBL2, &data,
                           &length, &out) == 0;
  ok = ok && WriteExportFile(outPath, data, length, &out) == 0;
  // A file with bad or missing sectors is written as read, and the page says which they were.
  static VolumeHealth health;
  if (ok && ReadVolumeHealth(&P.target, &health) == 0) {
    static char list[1024], listEn[1024], text[1536], textEn[1536];
    ComposeFileDamage(ViewOf(P.volume), health, slot, false, list, sizeof list);
    ComposeFileDamage(ViewOf(P.volume), health, slot, true, listEn, sizeof listEn);
    if (list[0] != '\0') {
      std::snprintf(text, sizeof text, kMsgExportDamaged, name, list);
      std::snprintf(textEn, sizeof textEn, En(kMsgExportDamaged), name, listEn);
      SayText(&out, kCaptionError, kMsgExportDamaged, text, textEn);
    }
  }
  web::Json json;
  json.Begin().Flag("ok", ok);
  Messages(json, out);
  json.Field("name", name).Field("bytes", ok ? static_cast<int>(length) : 0);
  return Done(json);
}

ZW_API const char* zw_import_defaults(const char* hostPath) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) {
    SayText(&out, kCaptionError, kMsgImportNotReady, kMsgImportNotReady);
    return Answer(false, out);
  }
  // A disk recorded under the other convention is refused before the form opens.
  if (RefuseOtherConvention(&out, &P.target) != 0) return Answer(false, out);
  const long length = ReadImportFile(hostPath, P.transferMode, P.tables.TBL3, &out);
  if (length < 0) return Answer(false, out);
  char date[9];
  PlatformLocalDate(date);
  uint8_t entry[kEntryBytes];
  ImportPlan plan;
  if (PlanImport(&P.target, &P.volume, hostPath, length, false, date, entry, &plan, &out) != 0)
    return Answer(false, out);
  AttributeTexts texts;
  DefaultAttributeTexts(entry, &texts);
  return TextsAnswer(texts);
}

ZW_API const char* zw_import_check(const char* hostPath, const char* name, const char* type,
                                   const char* start, const char* exec, const char* year,
                                   const char* month, const char* day, int lock, int replace) {
  Wait.import = false;
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) {
    SayText(&out, kCaptionError, kMsgImportNotReady, kMsgImportNotReady);
    return Answer(false, out);
  }
  if (RefuseChange(&out, &P.target) != 0) return Answer(false, out);
  const long length = ReadImportFile(hostPath, P.transferMode, P.tables.TBL3, &out);
  if (length < 0) return Answer(false, out);
  char date[9];
  PlatformLocalDate(date);
  if (PlanImport(&P.target, &P.volume, hostPath, length, true, date, Wait.entry, &Wait.plan,
                 &out) != 0)
    return Answer(false, out);
  AttributeTexts texts;
  DefaultAttributeTexts(Wait.entry, &texts);
  TypedTexts(&texts, name, type, start, exec, year, month, day, lock);
  int replaced = -1;
  if (CheckImportAttributes(texts, kReplaceAsk, &P.volume, Wait.entry, &replaced, &out) != 0)
    return Answer(false, out);
  if (replaced >= 0 && !replace) {
    web::Json json;
    json.Begin().Flag("ok", true).Flag("replace", true);
    json.Field("caption", kCaptionConfirm).Field("captionEn", TextEn(TextIdOf(kCaptionConfirm)));
    json.Field("question", kMsgReplaceQuestion)
        .Field("questionEn", TextEn(TextIdOf(kMsgReplaceQuestion)));
    return Done(json);
  }
  if (PlaceImport(&P.target, &P.volume, replaced, Wait.entry, &Wait.plan, &out) != 0)
    return Answer(false, out);
  Wait.import = true;
  return Question(kMsgImportConfirm, TextEn(TextIdOf(kMsgImportConfirm)));
}

ZW_API const char* zw_import_write() {
  Outcome out;
  OutcomeClear(&out);
  if (!Wait.import) return Answer(false, out);
  Wait.import = false;
  const bool ok = WriteImport(&P.target, &P.volume, Wait.plan, &out) == 0;
  Reload(&out);
  if (ok) SayText(&out, kCaptionSuccess, kMsgImportSucceeded, kMsgImportSucceeded);
  return ListingAnswer(ok, out);
}

namespace {

SectorRun ManyRuns[kMaxImportFiles];

// One file of several into the volume in memory, with its default attributes: staged, checked
// (a used name refused, as no form asks about it) and placed. 0, or -1 with the reason.
int StageOne(const char* path, Outcome* out, SectorRun* run) {
  if (ReadImportFile(path, P.transferMode, P.tables.TBL3, out) < 0) return -1;
  char date[9];
  PlatformLocalDate(date);
  uint8_t entry[kEntryBytes];
  ImportPlan plan;
  Outcome staged;
  OutcomeClear(&staged);
  if (StageImportFile(&P.target, &P.volume, path, P.transferMode, P.tables.TBL3, date, false, entry,
                      &plan, &staged) != 0) {
    // The file reads: what stops it is the room on the disk.
    SayText(out, kCaptionError, kMsgDiskFull, kMsgDiskFull);
    return -1;
  }
  AttributeTexts texts;
  DefaultAttributeTexts(entry, &texts);
  int duplicate = -1;
  if (CheckImportAttributes(texts, kReplaceNever, &P.volume, entry, &duplicate, out) != 0)
    return -1;
  return PlaceImportFile(&P.target, &P.volume, path, -1, entry, &plan, run, out);
}

}  // namespace

ZW_API const char* zw_import_many(const char* paths, int write) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) {
    SayText(&out, kCaptionError, kMsgImportNotReady, kMsgImportNotReady);
    return Answer(false, out);
  }
  if (RefuseChange(&out, &P.target) != 0) return Answer(false, out);
  // Each pass starts from the volume as the image holds it.
  Reload(&out);
  if (!P.loaded) return ListingAnswer(false, out);
  web::Json json;
  json.Begin();
  int index = 0, placed = 0;
  json.BeginArray("refused");
  for (const char* p = paths; p && *p; index++) {
    const char* end = std::strchr(p, '\n');
    const size_t length = end ? static_cast<size_t>(end - p) : std::strlen(p);
    char path[kPathCapacity];
    std::snprintf(path, sizeof path, "%.*s", static_cast<int>(length), p);
    p = end ? end + 1 : p + length;
    Outcome reason;
    OutcomeClear(&reason);
    if (placed >= kMaxImportFiles)
      SayText(&reason, kCaptionError, kMsgDirectoryFull, kMsgDirectoryFull);
    if (reason.count == 0 && StageOne(path, &reason, &ManyRuns[placed]) == 0) {
      placed++;
      continue;
    }
    json.ItemObject().Field("index", index);
    Messages(json, reason);
    json.End();
  }
  json.EndArray().Field("count", placed);
  if (!write || placed == 0) {
    Reload(&out);
    json.Flag("ok", placed > 0);
    return Done(json);
  }
  bool begun = false;
  const bool ok = WriteImportFiles(&P.target, &P.volume, ManyRuns, placed, &begun, &out) == 0;
  Reload(&out);
  if (ok) Say(&out, kCaptionSuccess, kMsgBatchImportSucceeded, placed);
  json.Flag("ok", ok);
  Messages(json, out);
  Listing(json);
  return Done(json);
}

ZW_API const char* zw_delete_check(const char* slots) {
  Wait.erase = false;
  int list[kMaxSlots];
  int count = 0;
  for (const char* p = slots; p && *p && count < kMaxSlots;) {
    char* end = nullptr;
    list[count++] = static_cast<int>(std::strtol(p, &end, 10));
    p = (*end == ',') ? end + 1 : end;
    if (end == p && *p) break;
  }
  Outcome out;
  OutcomeClear(&out);
  if (count == 0) return Answer(false, out);
  for (int i = 0; i < count; i++)
    if (!UsedSlot(list[i])) return Answer(false, out);
  if (!BeginFileChange(list, count, &out)) return ListingAnswer(false, out);
  if (PlanDelete(&out, &P.volume, P.tables.TBL1, list, count, &Wait.deletePlan) != 0)
    return Answer(false, out);
  char question[512];
  char questionEn[512];
  DeleteQuestion(Wait.deletePlan, &P.volume, P.tables.TBL1, question, sizeof question, questionEn);
  Wait.erase = true;
  return Question(question, questionEn);
}

ZW_API const char* zw_delete_write() {
  Outcome out;
  OutcomeClear(&out);
  if (!Wait.erase) return Answer(false, out);
  Wait.erase = false;
  const bool ok = CommitDelete(&out, &P.target, &P.volume, Wait.deletePlan) == 0;
  Reload(&out);
  return ListingAnswer(ok, out);
}

ZW_API const char* zw_attr_texts(int slot) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded || !UsedSlot(slot)) return Answer(false, out);
  AttributeTexts texts;
  ShownAttributeTexts(P.volume.DirectoryBuffer + slot * kEntryBytes, &texts);
  return TextsAnswer(texts);
}

ZW_API const char* zw_attr_check(int slot, const char* name, const char* type, const char* start,
                                 const char* exec, const char* year, const char* month,
                                 const char* day, int lock) {
  Wait.edit = false;
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded || !UsedSlot(slot)) return Answer(false, out);
  if (!BeginFileChange(&slot, 1, &out)) return ListingAnswer(false, out);
  std::memcpy(Wait.entry, P.volume.DirectoryBuffer + slot * kEntryBytes, kEntryBytes);
  AttributeTexts texts;
  ShownAttributeTexts(Wait.entry, &texts);
  char shownName[kControlTextCapacity];
  std::memcpy(shownName, texts.name, sizeof shownName);
  TypedTexts(&texts, name, type, start, exec, year, month, day, lock);
  AttributeCheckFailure failure;
  if (CheckEditedAttributes(texts, shownName, &P.volume, slot, Wait.entry, &failure) != 0) {
    SayText(&out, failure.caption, failure.format ? failure.format : failure.text, failure.text,
            failure.textEn);
    return Answer(false, out);
  }
  // OK without an edit writes nothing, as in the window.
  if (std::memcmp(Wait.entry, P.volume.DirectoryBuffer + slot * kEntryBytes, kEntryBytes) == 0) {
    web::Json json;
    json.Begin().Flag("ok", true).Flag("unchanged", true);
    return Done(json);
  }
  Wait.slot = slot;
  Wait.edit = true;
  return Question(kMsgAttributesConfirm, TextEn(TextIdOf(kMsgAttributesConfirm)));
}

ZW_API const char* zw_attr_write() {
  Outcome out;
  OutcomeClear(&out);
  if (!Wait.edit) return Answer(false, out);
  Wait.edit = false;
  const bool ok = CommitAttributeEdit(&out, &P.target, &P.volume, Wait.slot, Wait.entry) == 0;
  Reload(&out);
  return ListingAnswer(ok, out);
}

ZW_API const char* zw_undo(int undo) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) return ListingAnswer(false, out);
  const bool ok = StepChangeHistory(&out, &P.target, undo != 0) == 0;
  Reload(&out);
  return ListingAnswer(ok, out);
}

ZW_API const char* zw_new(const char* path, int mode, const char* diskName,
                          const char* volumeNumber, const char* year, const char* month,
                          const char* day, int exdir) {
  const int format = path ? FormatForPath(path) : -1;
  if (format < 0) return Said(false, kCaptionExtension, kMsgBadExtension);
  NewVolumeTexts texts = {};
  std::snprintf(texts.diskName, sizeof texts.diskName, "%s", diskName ? diskName : "");
  std::snprintf(texts.volumeNumber, sizeof texts.volumeNumber, "%s",
                volumeNumber ? volumeNumber : "");
  std::snprintf(texts.year, sizeof texts.year, "%s", year ? year : "");
  std::snprintf(texts.month, sizeof texts.month, "%s", month ? month : "");
  std::snprintf(texts.day, sizeof texts.day, "%s", day ? day : "");
  texts.exdir = exdir != 0;
  // The disk name in the volume's characters, through the code table the page has loaded.
  texts.tbl1 = P.tablesLoaded ? P.tables.TBL1 : nullptr;
  NewImageRequest request = {};
  const char* refusal = nullptr;
  char lacking[3] = "";
  if (CheckNewVolumeTexts(texts, &request.volume, &refusal, lacking) != 0) {
    Outcome refused;
    OutcomeClear(&refused);
    SayNewVolumeRefusal(&refused, refusal, lacking);
    return Answer(false, refused);
  }
  request.path = path;
  request.imageFormat = format;
  request.machineMode = mode == 1 ? kModePc : kModeMz;
  request.replace = true;
  request.change = &P.change;
  Outcome out;
  OutcomeClear(&out);
  return Answer(MakeNewImage(&out, request) == 0, out);
}

ZW_API const char* zw_containers() {
  web::Json json;
  json.Begin().Flag("ok", true).BeginArray("kinds");
  for (int k = 0; k < kContainerKindCount; k++) {
    const ContainerKind* kind = kContainerKinds[k];
    json.ItemObject().Field("name", kind->name).Field("format", kind->format);
    json.BeginArray("extensions");
    for (int e = 0; e < kind->extensionCount; e++) json.Item(kind->extensions[e].extension);
    json.EndArray().Flag("writesBlank", kind->writeDisk != nullptr).End();
  }
  json.EndArray();
  return Done(json);
}

ZW_API const char* zw_convert(const char* path, int mode, int dryRun) {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) return Answer(false, out);
  const int format = path ? FormatForPath(path) : -1;
  const ContainerKind* kind = ContainerForFormat(format);
  if (!kind || !kind->writeDisk) return Said(false, kCaptionExtension, kMsgBadExtension);
  // The open disk as its container holds it (IDs and marks kept where the target can hold
  // them), under the chosen convention; absent sectors of a flat target filled.
  ConvertRequest request{};
  request.sourcePath = P.target.path;
  request.machineMode = P.target.machineMode;
  request.toMode = mode == 1 ? kModePc : kModeMz;
  request.disk = P.target.diskCount > 1 ? P.target.diskIndex : -1;
  request.fill = true;
  request.replace = true;
  request.dryRun = dryRun != 0;
  request.targetPath = path;
  request.stamp = StampOf(P.target.path);
  const bool ok = ConvertImage(&out, request, nullptr) == 0;
  if (!ok || !request.dryRun) return Answer(ok, out);
  // The dry run: what would be lost, one line each, and the window's Save As question over it.
  static char lines[2048];
  static char linesEn[2048];
  lines[0] = linesEn[0] = '\0';
  for (int i = 0; i < out.count; i++) {
    if (out.messages[i].caption != kCaptionConvertLoss) continue;
    const size_t used = std::strlen(lines), usedEn = std::strlen(linesEn);
    std::snprintf(lines + used, sizeof lines - used, "%s%s", used ? "\n" : "",
                  OutcomeText(&out, i));
    std::snprintf(linesEn + usedEn, sizeof linesEn - usedEn, "%s%s", usedEn ? "\n" : "",
                  OutcomeTextEn(&out, i));
  }
  web::Json json;
  json.Begin().Flag("ok", true).Flag("losses", lines[0] != '\0');
  if (lines[0] != '\0') {
    static char question[2048 + 256];
    static char questionEn[2048 + 256];
    std::snprintf(question, sizeof question, kSaveAsLosses, lines);
    std::snprintf(questionEn, sizeof questionEn, TextEn(TextIdOf(kSaveAsLosses)), linesEn);
    json.Field("caption", kCaptionConvertLoss)
        .Field("captionEn", TextEn(TextIdOf(kCaptionConvertLoss)))
        .Field("question", question)
        .Field("questionEn", questionEn);
  }
  return Done(json);
}

namespace {

// The bit table mended as the window's offer mends it (nothing freed that no file owns).
BitTableRepair PlanRepair(uint8_t* repaired) {
  BitTableRepair repair;
  PlanBitTableRepair(ViewOf(P.volume), false, repaired, &repair);
  return repair;
}

}  // namespace

ZW_API const char* zw_check() {
  if (!P.loaded) return Said(false, kCaptionCheck, kMsgCheckOpenFailed);
  constexpr int kFindingCapacity = 512;
  static CheckFinding store[kFindingCapacity];
  CheckFindings findings{store, kFindingCapacity, 0};
  const VolumeView volume = ViewOf(P.volume);
  CheckVolumeStructure(volume, &findings);
  if (CheckImageContainer(&P.target, volume, &findings) != 0)
    return Said(false, kCaptionCheck, kMsgCheckOpenFailed);
  static char report[kCheckReportCapacity];
  static char reportEn[kCheckReportCapacity];
  ComposeCheckReport(findings, P.volume.DirectoryBuffer, P.volume.EntryCount, P.tables.TBL1, report,
                     sizeof report);
  ComposeCheckReport(findings, P.volume.DirectoryBuffer, P.volume.EntryCount, P.tables.TBL1,
                     reportEn, sizeof reportEn, true);
  const int stored = findings.count < kFindingCapacity ? findings.count : kFindingCapacity;
  int notes = 0;  // a bad or missing sector that nothing needs
  for (int i = 0; i < stored; i++) notes += CheckFindingIsNote(store[i]);
  web::Json json;
  json.Begin()
      .Flag("ok", true)
      .Flag("clean", findings.count == notes)
      .Field("count", findings.count - notes)
      .Field("notes", notes)
      .Field("caption", kCaptionCheck)
      .Field("captionEn", TextEn(TextIdOf(kCaptionCheck)))
      .Field("report", report)
      .Field("reportEn", reportEn);
  json.BeginArray("findings");
  for (int i = 0; i < stored; i++) {
    const CheckFinding& f = store[i];
    json.ItemObject()
        .Field("kind", f.kind)
        .Field("slot", f.slot)
        .Field("otherSlot", f.otherSlot)
        .Field("track", f.track)
        .Field("sector", f.sector)
        .Field("count", f.count)
        .Field("offset", static_cast<int>(f.offset))
        .End();
  }
  json.EndArray();
  // The window offers the repair after its report when there are sectors to mark used, the disk
  // is writable and no file shares sectors or leaves the disk.
  static uint8_t repaired[kSystemAreaBytes];
  const BitTableRepair repair = PlanRepair(repaired);
  Outcome refused;
  OutcomeClear(&refused);
  if (!repair.refused && repair.marked > 0 && RefuseChange(&refused, &P.target) == 0) {
    char question[512], questionEn[512];
    std::snprintf(question, sizeof question, kMsgRepairConfirm, repair.marked,
                  repair.firstMarked / 16, repair.firstMarked % 16 + 1, repair.freed);
    std::snprintf(questionEn, sizeof questionEn, kMsgRepairConfirmEn, repair.marked,
                  repair.firstMarked / 16, repair.firstMarked % 16 + 1, repair.freed);
    json.Flag("repair", true).Field("question", question).Field("questionEn", questionEn);
  }
  return Done(json);
}

ZW_API const char* zw_repair() {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) return ListingAnswer(false, out);
  if (RefuseChange(&out, &P.target) != 0) return ListingAnswer(false, out);
  // Planned from the volume as the image holds it now.
  Reload(&out);
  if (!P.loaded) return ListingAnswer(false, out);
  static uint8_t repaired[kSystemAreaBytes];
  const BitTableRepair repair = PlanRepair(repaired);
  if (repair.refused) {
    SayText(&out, kCaptionCheck, kMsgRepairRefused, kMsgRepairRefused);
    return ListingAnswer(false, out);
  }
  if (repair.marked == 0 && repair.freed == 0) {
    SayText(&out, kCaptionCheck, kMsgRepairNothing, kMsgRepairNothing);
    return ListingAnswer(false, out);
  }
  std::memcpy(P.volume.SystemArea, repaired, sizeof repaired);
  const bool ok = CommitVolumeChange(&out, &P.target, &P.volume, 0, true) == 0;
  if (ok) Say(&out, kCaptionCheck, kMsgRepairDone, repair.marked, repair.freed);
  Reload(&out);
  return ListingAnswer(ok, out);
}

ZW_API const char* zw_deleted() {
  Outcome out;
  OutcomeClear(&out);
  if (!P.loaded) return Answer(false, out);
  static DeletedEntry entries[kMaxSlots];
  const int count = ListDeletedEntries(&P.volume, entries, kMaxSlots);
  web::Json json;
  json.Begin().Flag("ok", true).BeginArray("entries");
  for (int i = 0; i < count && i < kMaxSlots; i++) {
    const DeletedEntry& e = entries[i];
    // The row as the list would show it restored (as an OBJ file until the form says otherwise).
    uint8_t entry[kEntryBytes];
    std::memcpy(entry, P.volume.DirectoryBuffer + e.slot * kEntryBytes, kEntryBytes);
    entry[kEntryType] = 1;
    DirectoryRow row;
    FormatDirectoryRow(entry, P.tables.TBL1, &row);
    char verdict[256], verdictEn[256];
    FormatDeletedVerdict(e, false, verdict, sizeof verdict);
    FormatDeletedVerdict(e, true, verdictEn, sizeof verdictEn);
    json.ItemObject()
        .Field("number", i)
        .Field("slot", e.slot)
        .Field("verdict", e.verdict)
        .Field("verdictText", verdict)
        .Field("verdictTextEn", verdictEn)
        .BeginArray("cells");
    for (int c = 0; c < kColumnCount; c++) json.Item(row.cells[c]);
    json.EndArray().End();
  }
  json.EndArray();
  return Done(json);
}

namespace {

// The entry of deleted entry #d`number` as the form starts from it (an OBJ file), after the
// restore's own refusals. 0, or -1 with the messages.
int StartUndelete(int number, Outcome* out, uint8_t* entry) {
  if (!P.loaded) return -1;
  if (RefuseChange(out, &P.target) != 0) return -1;
  if (PlanUndelete(out, &P.volume, P.tables.TBL1, number, 1, nullptr, &Wait.undeletePlan) != 0)
    return -1;
  std::memcpy(entry, P.volume.DirectoryBuffer + Wait.undeletePlan.slot * kEntryBytes, kEntryBytes);
  entry[kEntryType] = 1;
  return 0;
}

}  // namespace

ZW_API const char* zw_undelete_texts(int number) {
  Wait.undelete = false;
  Outcome out;
  OutcomeClear(&out);
  uint8_t entry[kEntryBytes];
  if (StartUndelete(number, &out, entry) != 0) return Answer(false, out);
  AttributeTexts texts;
  ShownAttributeTexts(entry, &texts);
  return TextsAnswer(texts);
}

ZW_API const char* zw_undelete_check(int number, const char* name, const char* type,
                                     const char* start, const char* exec, const char* year,
                                     const char* month, const char* day, int lock) {
  Wait.undelete = false;
  Outcome out;
  OutcomeClear(&out);
  if (StartUndelete(number, &out, Wait.entry) != 0) return Answer(false, out);
  AttributeTexts texts;
  ShownAttributeTexts(Wait.entry, &texts);
  char shownName[kControlTextCapacity];
  std::memcpy(shownName, texts.name, sizeof shownName);
  TypedTexts(&texts, name, type, start, exec, year, month, day, lock);
  AttributeCheckFailure failure;
  if (CheckEditedAttributes(texts, shownName, &P.volume, Wait.undeletePlan.slot, Wait.entry,
                            &failure) != 0) {
    SayText(&out, failure.caption, failure.format ? failure.format : failure.text, failure.text,
            failure.textEn);
    return Answer(false, out);
  }
  Wait.undelete = true;
  char question[512], questionEn[512];
  UndeleteQuestion(Wait.undeletePlan, &P.volume, P.tables.TBL1, question, questionEn,
                   sizeof question);
  return Question(question, questionEn);
}

ZW_API const char* zw_undelete_write() {
  Outcome out;
  OutcomeClear(&out);
  if (!Wait.undelete) return Answer(false, out);
  Wait.undelete = false;
  // The form's fields go into the slot as it stays deleted; the restore sets the type byte.
  UndeletePlan& plan = Wait.undeletePlan;
  plan.type = Wait.entry[kEntryType];
  plan.rename = false;
  std::memcpy(P.volume.DirectoryBuffer + plan.slot * kEntryBytes + 1, Wait.entry + 1,
              kEntryBytes - 1);
  const bool ok = CommitUndelete(&out, &P.target, &P.volume, plan) == 0;
  Reload(&out);
  return ListingAnswer(ok, out);
}

ZW_API const char* zw_sector(const char* track, const char* sector, int delta) {
  if (!P.loaded) return Said(false, kCaptionError, kSectorViewBadAddress);
  long t = -1, s = -1;
  if (!ParseSectorNumber(track, &t) || !ParseSectorNumber(sector, &s) ||
      !SectorAddressValid(static_cast<int>(t), static_cast<int>(s)))
    return Said(false, kCaptionError, kSectorViewBadAddress);
  const int index = StepSectorIndex(SectorIndex(static_cast<int>(t), static_cast<int>(s)), delta);
  const int shownTrack = index / kSectorsPerTrack, shownSector = index % kSectorsPerTrack + 1;
  char owner[128], ownerEn[128];
  DescribeSectorOwner(&P.volume, P.tables.TBL1, index, false, owner, sizeof owner);
  DescribeSectorOwner(&P.volume, P.tables.TBL1, index, true, ownerEn, sizeof ownerEn);
  char heading[256], headingEn[256];
  std::snprintf(heading, sizeof heading, kSectorViewHeading, shownTrack, shownSector, shownTrack,
                shownSector, owner);
  std::snprintf(headingEn, sizeof headingEn, kSectorViewHeadingEn, shownTrack, shownSector,
                shownTrack, shownSector, ownerEn);
  // What the container says of a sector it records as bad or lacks.
  SectorHealth health;
  if (ReadSectorHealth(&P.target, shownTrack, shownSector, &health) == 0 &&
      health.state != kSectorSound) {
    char verdict[128], verdictEn[128];
    ComposeSectorVerdict(health, false, verdict, sizeof verdict);
    ComposeSectorVerdict(health, true, verdictEn, sizeof verdictEn);
    size_t used = std::strlen(heading);
    std::snprintf(heading + used, sizeof heading - used, kSectorViewVerdict, verdict);
    used = std::strlen(headingEn);
    std::snprintf(headingEn + used, sizeof headingEn - used, kSectorViewVerdictEn, verdictEn);
  }
  web::Json json;
  json.Begin()
      .Flag("ok", true)
      .Field("track", shownTrack)
      .Field("sector", shownSector)
      .Field("index", index)
      .Field("owner", owner)
      .Field("ownerEn", ownerEn)
      .Field("heading", heading)
      .Field("headingEn", headingEn);
  uint8_t bytes[kSectorBytes];
  const int status = ReadSectors(&P.target, bytes, shownTrack, shownSector, kSectorBytes);
  if (status != kImageOk) {
    char text[256], textEn[256];
    std::snprintf(text, sizeof text, kSectorViewUnreadable, ImageStatusText(status));
    std::snprintf(textEn, sizeof textEn, kSectorViewUnreadableEn,
                  TextEn(TextIdOf(ImageStatusText(status))));
    json.Field("unreadable", text).Field("unreadableEn", textEn);
  }
  json.BeginArray("lines");
  for (int line = 0; status == kImageOk && line < kSectorBytes / 16; line++) {
    char row[160];
    FormatHexLine(bytes + line * 16, line * 16, P.tables.TBL1, row, sizeof row);
    json.Item(row);
  }
  json.EndArray();
  return Done(json);
}
