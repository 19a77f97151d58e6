// zelvo attr: show a file's attributes, or change them.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/file_args.h"
#include "cli/verbs.h"
#include "view/directory_list.h"
#include "volume/layout.h"

namespace cli {
namespace {

std::string Hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

const char* TypeName(unsigned type) {
  static const char* const kNames[] = {"OBJ", "TEX", "CMD", "REL", "SCD", "RDD"};
  return type >= 1 && type <= 6 ? kNames[type - 1] : "???";
}

int PrintAttributes(int slot, bool json) {
  const uint8_t* entry = Disk().volume.DirectoryBuffer + slot * kEntryBytes;
  DirectoryRow row;
  FormatDirectoryRow(entry, Disk().tables.TBL1, &row);
  const std::string date = Hex("%02X", entry[kEntryDate]) + "/" +
                           Hex("%02X", entry[kEntryDate + 1]) + "/" +
                           Hex("%02X", entry[kEntryDate + 2]);
  if (json) {
    std::string stored;
    for (int i = 0; i < kEntryNameMax; ++i) stored += Hex("%02X", entry[kEntryName + i]);
    nlohmann::json out;
    out["slot"] = slot;
    out["name"] = console::Cp932ToUtf8(row.cells[kColName]);
    out["nameBytes"] = stored;
    out["type"] = entry[kEntryType];
    out["typeName"] = TypeName(entry[kEntryType]);
    out["locked"] = entry[kEntryLock] != 0;
    out["order"] = entry[kEntryOrder];
    out["length"] = Hex("%04X", EntryLength(entry));
    out["start"] = Hex("%04X", EntryStart(entry));
    out["exec"] = Hex("%04X", EntryExec(entry));
    out["date"] = date;
    out["trk"] = Hex("%02X", entry[kEntryTrk]);
    out["sct"] = Hex("%02X", entry[kEntrySct]);
    Print(out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    return kExitOk;
  }
  std::string name = row.cells[kColName];
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  Print("Name    " + console::Cp932ToTerminal(name) + "\n" + "Type    " +
        TypeName(entry[kEntryType]) + " (" + Hex("%02X", entry[kEntryType]) + ")\n" + "Lock    " +
        (entry[kEntryLock] != 0 ? "locked" : "unlocked") + "\n" + "Start   " +
        Hex("%04X", EntryStart(entry)) + "\n" + "Exec    " + Hex("%04X", EntryExec(entry)) + "\n" +
        "Length  " + Hex("%04X", EntryLength(entry)) + "\n" + "Date    " + date + "\n" +
        "Trk     " + Hex("%02X", entry[kEntryTrk]) + "\n" + "Sct     " +
        Hex("%02X", entry[kEntrySct]) + "\n");
  return kExitOk;
}

}  // namespace

Verb AddAttr(CLI::App& app) {
  struct Options {
    ChangeOptions change;
    std::string file;
    AttributeOptions attributes;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "attr", "Show a file's attributes, or change them (name, type, addresses, date, lock)");
  AddChangeOptions(command, &options->change);
  static const char* const kFields[][3] = {
      {"name", "--name", "New file name (0-9 A-Z a-z and '.', up to 16)"},
      {"type", "--type", "OBJ, TEX, CMD, REL, SCD or RDD"},
      {"start", "--start", "Start address, up to 4 hex digits (or 0x1200, 1200h)"},
      {"exec", "--exec", "Execution address, up to 4 hex digits (or 0x1200, 1200h)"},
      {"date", "--date", "Date YY/MM/DD"}};
  for (const auto& field : kFields) {
    const std::string key = field[0];
    command
        ->add_option_function<std::string>(
            field[1], [options, key](const std::string& v) { options->attributes.fields[key] = v; },
            field[2])
        ->type_name(key == "date"                    ? "YY/MM/DD"
                    : key == "name" || key == "type" ? "TEXT"
                                                     : "XXXX");
  }
  CLI::Option* lock = command->add_flag("--lock", options->attributes.lock, "Lock the file");
  CLI::Option* unlock =
      command->add_flag("--unlock", options->attributes.unlock, "Unlock the file");
  lock->excludes(unlock);
  command->add_flag("--json", options->json, "Print the attributes as one JSON object");
  command
      ->add_option("FILE", options->file,
                   "The file's name as stored (any case), or #N for list row N")
      ->required();
  return {command, [options]() {
            if (StartChange(options->change) != 0) return kExitFailed;
            const int slot = ResolveSlot(options->file, options->change.image);
            if (slot < 0) return kExitFailed;
            const AttributeOptions& attributes = options->attributes;
            if (attributes.fields.empty() && !attributes.lock && !attributes.unlock)
              return PrintAttributes(slot, options->json);
            return EditAttributesOfImage(slot, attributes);
          }};
}

}  // namespace cli
