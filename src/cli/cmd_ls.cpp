// zelvo ls: the information panel and the directory list of an image.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/file_args.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "transfer/undelete.h"
#include "view/deleted_view.h"
#include "view/directory_list.h"
#include "view/info_panel.h"
#include "volume/layout.h"

namespace cli {
namespace {

constexpr int kColumnGap = 2;

// Control characters of a cell would steer the terminal: shown as '?'.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

// The rows aligned under the column titles. In code page 932 a character's byte count is its
// width on a terminal (double-byte characters are full width), so widths are counted in bytes.
std::string Table(const std::vector<std::vector<std::string>>& rows) {
  size_t width[kColumnCount];
  for (int c = 0; c < kColumnCount; ++c) {
    width[c] = std::string(kColumnTitles[c]).size();
    for (const auto& row : rows) width[c] = std::max(width[c], row[c].size());
  }
  // The whole table in code page 932, converted once: every cell but the last is followed by
  // spaces, so the cells convert as they would one by one.
  std::string table;
  auto line = [&](const std::vector<std::string>& cells) {
    const size_t start = table.size();
    for (int c = 0; c < kColumnCount; ++c) {
      table += Printable(cells[c]);
      if (c + 1 < kColumnCount) table.append(width[c] - cells[c].size() + kColumnGap, ' ');
    }
    while (table.size() > start && table.back() == ' ') table.pop_back();
    table += '\n';
  };
  line(std::vector<std::string>(kColumnTitles, kColumnTitles + kColumnCount));
  for (const auto& row : rows) line(row);
  return console::Cp932ToTerminal(table);
}

// The list's rows and the panel's text of the record's volume, as the window shows them.
void Collect(std::vector<std::vector<std::string>>* rows, std::string* panel) {
  const int slots = Disk().volume.EntryCount < kDirectoryBufferBytes / kEntryBytes
                        ? Disk().volume.EntryCount
                        : kDirectoryBufferBytes / kEntryBytes;
  for (int k = 0; k < slots; k++) {
    const uint8_t* entry = Disk().volume.DirectoryBuffer + k * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    DirectoryRow row;
    FormatDirectoryRow(entry, Disk().tables.TBL1, &row);
    rows->emplace_back(row.cells, row.cells + kColumnCount);
  }
  char panelText[kPanelTextCapacity];
  ComposeInfoText(Disk().volume.SystemArea, Disk().volume.ExdirPresent, Disk().volume.ExdirTrack,
                  Disk().volume.ExdirSector, static_cast<int>(rows->size()), panelText);
  *panel = panelText;
}

std::string Listing(const std::vector<std::vector<std::string>>& rows, const std::string& panel) {
  return console::Cp932ToTerminal(panel) + "\n\n" + Table(rows);
}

// A BCD date (year, month, day) as ISO 8601, years 80-99 in the 1900s and 00-79 in the 2000s;
// null when its bytes are no BCD date.
nlohmann::json IsoDate(const uint8_t* date) {
  int value[3];
  for (int i = 0; i < 3; ++i) {
    if ((date[i] >> 4) > 9 || (date[i] & 0x0F) > 9) return nullptr;
    value[i] = (date[i] >> 4) * 10 + (date[i] & 0x0F);
  }
  if (value[1] < 1 || value[1] > 12 || value[2] < 1 || value[2] > 31) return nullptr;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", value[0] + (value[0] >= 80 ? 1900 : 2000),
                value[1], value[2]);
  return text;
}

// A text of the system area up to a zero byte (or a CR), as the panel shows it, in UTF-8.
std::string VolumeText(const uint8_t* from, int limit, bool stopAtReturn) {
  std::string text;
  for (int n = 0; n < limit && from[n] != 0 && !(stopAtReturn && from[n] == 0x0D); ++n)
    text.push_back(static_cast<char>(from[n]));
  MaskPanelText(text.data());
  return console::Cp932ToUtf8(text);
}

// The files of the record's volume and the volume itself as typed values.
void TypedListing(nlohmann::json* out) {
  // What the container says of each file's sectors (a dump's read errors, a cut-off image).
  auto health = std::make_unique<VolumeHealth>();
  auto damage = std::make_unique<FileDamage>();
  const bool known =
      LoadedFileDamage(&Disk().target, &Disk().volume, health.get(), damage.get()) == 0;
  nlohmann::json files = nlohmann::json::array();
  for (int slot = 0; slot < Disk().volume.EntryCount && slot < kMaxSlots; ++slot) {
    const uint8_t* entry = Disk().volume.DirectoryBuffer + slot * kEntryBytes;
    if (entry[kEntryType] == 0) continue;
    DirectoryRow row;
    FormatDirectoryRow(entry, Disk().tables.TBL1, &row);
    std::string type(row.cells[kColType], 3);
    while (!type.empty() && type.back() == ' ') type.pop_back();
    const long start = EntryStart(entry);
    const long length = EntryLength(entry);
    files.push_back({{"name", console::Cp932ToUtf8(PlainName(slot))},
                     {"type", type},
                     {"locked", entry[kEntryLock] != 0},
                     {"start", start},
                     {"end", start + length - 1},
                     {"length", length},
                     {"exec", EntryExec(entry)},
                     {"date", IsoDate(entry + kEntryDate)},
                     {"track", entry[kEntryTrk]},
                     {"sector", entry[kEntrySct]}});
    nlohmann::json& file = files.back();
    if (known) {
      file["damaged"] = damage->bad[slot] + damage->missing[slot] > 0;
      file["bad_sectors"] = damage->bad[slot];
      file["missing_sectors"] = damage->missing[slot];
    } else {
      file["damaged"] = nullptr;
    }
  }
  (*out)["files"] = files;
  const uint8_t* system = Disk().volume.SystemArea;
  nlohmann::json volume;
  volume["number"] = VolumeNumber(system);
  volume["name"] = VolumeText(system + kSysDiskName, kSysDiskNameMax, false);
  volume["date"] = IsoDate(system + kSysDate);
  volume["id_mark"] = system[kSysIdMark] == 0x46 && system[kSysIdMark + 1] == 0x4D;
  volume["exdir"] = Disk().volume.ExdirPresent == 1
                        ? nlohmann::json{{"track", Disk().volume.ExdirTrack},
                                         {"sector", Disk().volume.ExdirSector}}
                        : nlohmann::json(nullptr);
  volume["auto_start"] = VolumeText(system + kSysAutoStart, kSysAutoStartMax, true);
  (*out)["volume"] = volume;
}

const char* VerdictKey(int verdict) {
  return verdict == kDeletedRecoverable   ? "recoverable"
         : verdict == kDeletedOverwritten ? "partly overwritten"
                                          : "not recoverable";
}

// The deleted entries of the record's volume: one line each (#dN, name, length, track, sector,
// verdict), or their JSON.
void ListDeleted(const std::string& image, bool json) {
  static DeletedEntry entries[kMaxSlots];
  const int count = ListDeletedEntries(&Disk().volume, entries, kMaxSlots);
  const bool english = console::CurrentLanguage() == console::Language::kEnglish;
  nlohmann::json list = nlohmann::json::array();
  std::string lines;
  for (int i = 0; i < count && i < kMaxSlots; ++i) {
    const DeletedEntry& e = entries[i];
    uint8_t entry[kEntryBytes];
    std::memcpy(entry, Disk().volume.DirectoryBuffer + e.slot * kEntryBytes, kEntryBytes);
    entry[kEntryType] = 1;
    DirectoryRow row;
    FormatDirectoryRow(entry, Disk().tables.TBL1, &row);
    char verdict[256];
    FormatDeletedVerdict(e, english, verdict, sizeof verdict);
    const std::string id = "#d" + std::to_string(i);
    if (json) {
      nlohmann::json item;
      item["id"] = id;
      item["slot"] = e.slot;
      item["name"] = console::Cp932ToUtf8(row.cells[kColName]);
      item["length"] = EntryLength(entry);
      item["track"] = entry[kEntryTrk];
      item["sector"] = entry[kEntrySct];
      item["verdict"] = VerdictKey(e.verdict);
      item["verdict_text"] = english ? std::string(verdict) : console::Cp932ToUtf8(verdict);
      item["claimed_by_files"] = e.claimedByFiles;
      item["claimed_by_system"] = e.claimedBySystem;
      if (e.ownerSlot >= 0) {
        DirectoryRow owner;
        FormatDirectoryRow(Disk().volume.DirectoryBuffer + e.ownerSlot * kEntryBytes,
                           Disk().tables.TBL1, &owner);
        item["owner"] = console::Cp932ToUtf8(owner.cells[kColName]);
      }
      list.push_back(item);
      continue;
    }
    char line[512];
    std::snprintf(line, sizeof line, "%-5s %-17s %5s  %s %s  ", id.c_str(), row.cells[kColName],
                  row.cells[kColLength], row.cells[kColTrk], row.cells[kColSct]);
    lines += Printable(line) + verdict + "\n";
  }
  if (json) {
    nlohmann::json out;
    out["image"] = console::ArgumentToUtf8(image);
    out["deleted"] = list;
    Print(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    return;
  }
  Print(console::Cp932ToTerminal(lines));
}

// One image: 0 when it was listed, -1 after its messages.
int ListImage(const LsOptions& options, const std::string& image, const CodeTables& tables,
              bool several) {
  StartSession(console::Settings{}, options.mode, false);
  Disk().tables = tables;
  if (OpenImage(image) != 0) {
    if (options.json) Print(OpenErrorLine(image));
    return -1;
  }

  if (options.deleted) {
    if (several && !options.json) Print(image + ":\n");
    ListDeleted(image, options.json);
    return 0;
  }
  std::vector<std::vector<std::string>> rows;
  std::string panel;
  Collect(&rows, &panel);
  if (options.json) {
    nlohmann::json out;
    out["image"] = console::ArgumentToUtf8(image);
    out["format"] = FormatName(Disk().format);
    out["mode"] = ModeName(Disk().target.machineMode);
    if (Disk().target.diskCount > 1) {
      out["disk"] = Disk().target.diskIndex;
      out["disks"] = Disk().target.diskCount;
    }
    out["panel"] = console::Cp932ToUtf8(panel);
    out["columns"] = std::vector<std::string>(kColumnTitles, kColumnTitles + kColumnCount);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& row : rows) {
      nlohmann::json cells = nlohmann::json::array();
      for (const auto& cell : row) cells.push_back(console::Cp932ToUtf8(cell));
      list.push_back(cells);
    }
    out["rows"] = list;
    TypedListing(&out);
    // JSON Lines: one object on one line per image.
    Print(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    return 0;
  }
  const std::string heading = several ? image + ":\n" : "";
  Print(heading + Listing(rows, panel));
  return 0;
}

}  // namespace

std::string ListingText() {
  std::vector<std::vector<std::string>> rows;
  std::string panel;
  Collect(&rows, &panel);
  return Listing(rows, panel);
}

int RunLs(const LsOptions& options) {
  StartSession(console::Settings{}, options.mode, false);
  if (LoadTables(options.codes) != 0) return kExitFailed;
  const CodeTables tables = Disk().tables;
  const bool several = options.images.size() > 1;
  int failed = 0;
  for (size_t i = 0; i < options.images.size(); ++i) {
    if (several && !options.json && i > 0) Print("\n");
    if (ListImage(options, options.images[i], tables, several) != 0) failed++;
  }
  return failed == 0 ? kExitOk : kExitFailed;
}

Verb AddLs(CLI::App& app) {
  auto options = std::make_shared<LsOptions>();
  CLI::App* command = app.add_subcommand("ls", "Show the volume information and the files");
  AddMode(command, &options->mode);
  AddCodes(command, &options->codes);
  command->add_flag("--json", options->json, "Print one JSON object per image, one per line");
  command->add_flag("--deleted", options->deleted,
                    "List the deleted entries (#d0, #d1, ...) with whether each can be restored");
  command->add_option("IMAGE", options->images, "Disk images: " + ImageExtensionList())->required();
  return {command, [options]() {
            options->mode = Lower(options->mode);
            return RunLs(*options);
          }};
}

}  // namespace cli
