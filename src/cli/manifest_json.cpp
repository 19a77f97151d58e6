#include "cli/manifest_json.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/console/console.h"
#include "texts/texts.h"
#include "transfer/attribute_checks.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

std::string Hex(const uint8_t* bytes, int count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < count; i++) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text;
}

std::string DateText(const uint8_t* date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X/%02X/%02X", date[0], date[1], date[2]);
  return text;
}

std::string WordText(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// A text field ending at the first of `ends` or after `max` bytes, shown as UTF-8.
std::string FieldText(const uint8_t* bytes, int max, bool endAtCr) {
  std::string text;
  for (int i = 0; i < max && bytes[i] != 0 && !(endAtCr && bytes[i] == 0x0D); i++)
    text.push_back(static_cast<char>(bytes[i]));
  return console::Cp932ToUtf8(text);
}

Json SlotJson(const PackSlot& slot, const std::string& shown) {
  Json item;
  if (slot.slot >= 0) item["slot"] = slot.slot;
  if (!slot.file) {
    item["raw"] = Hex(slot.entry, kEntryBytes);
    return item;
  }
  const uint8_t* e = slot.entry;
  item["file"] = slot.host;
  item["name"] = shown;
  item["name_bytes"] = Hex(e + kEntryName, kEntryNameMax);
  const char* type = AttributeTypeName(e[kEntryType]);
  if (type)
    item["type"] = type;
  else
    item["type"] = e[kEntryType];
  if (e[kEntryLock] <= 1)
    item["lock"] = e[kEntryLock] == 1;
  else
    item["lock"] = e[kEntryLock];
  item["start"] = WordText(EntryStart(e));
  item["exec"] = WordText(EntryExec(e));
  item["date"] = DateText(e + kEntryDate);
  item["length"] = EntryLength(e);
  if (slot.placed) {
    item["track"] = e[kEntryTrk];
    item["sector"] = e[kEntrySct];
  }
  if (e[kEntryOrder] != 0) item["order"] = e[kEntryOrder];
  if (e[kEntryNameEnd] != 0x0D) item["terminator"] = e[kEntryNameEnd];
  if (e[kEntryReserved] != 0) item["reserved"] = e[kEntryReserved];
  if (slot.tailBytes > 0) item["tail"] = Hex(slot.tail, slot.tailBytes);
  return item;
}

// --- Reading ---

struct Reader {
  PackManifest* manifest;
  Outcome* out;
  int index = -1;          // the file entry being read, -1 for the manifest
  std::string what = "-";  // its name for the refusal

  int Refuse(const char* reason, const std::string& field) {
    SayPackRefused(out, index, what.c_str(), reason, (" \"" + field + "\"").c_str());
    return -1;
  }
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex text of at most `max` bytes into `bytes`; the count, or -1.
int ParseHex(const Json& value, uint8_t* bytes, int max) {
  if (!value.is_string()) return -1;
  const std::string text = value.get<std::string>();
  if (text.size() % 2 != 0 || static_cast<int>(text.size() / 2) > max) return -1;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]), low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return -1;
    bytes[i / 2] = static_cast<uint8_t>(high * 16 + low);
  }
  return static_cast<int>(text.size() / 2);
}

// An integer in [low, high]: a JSON number, or a text in decimal (or hex with 0x). -1 otherwise.
long ParseInteger(const Json& value, long low, long high) {
  long n = -1;
  if (value.is_number_integer()) {
    n = value.get<long>();
  } else if (value.is_boolean()) {
    n = value.get<bool>() ? 1 : 0;
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
      return -1;
    n = std::strtol(digits.c_str(), nullptr, hex ? 16 : 10);
  }
  return n < low || n > high ? -1 : n;
}

// An address: a text of hex digits ("1200", "0x1200", "1200h") or a JSON number. -1 otherwise.
long ParseAddress(const Json& value) {
  if (value.is_number_integer()) return ParseInteger(value, 0, 0xFFFF);
  if (!value.is_string()) return -1;
  std::string text = value.get<std::string>();
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text = text.substr(2);
  if (!text.empty() && (text.back() == 'h' || text.back() == 'H')) text.pop_back();
  if (text.empty() || text.size() > 4 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return -1;
  return std::strtol(text.c_str(), nullptr, 16);
}

// "YY/MM/DD", each two hex digits: the three bytes as they are stored.
bool ParseDate(const Json& value, uint8_t* date) {
  if (!value.is_string()) return false;
  const std::string text = value.get<std::string>();
  if (text.size() != 8 || text[2] != '/' || text[5] != '/') return false;
  for (int i = 0; i < 3; i++) {
    const int high = HexValue(text[i * 3]), low = HexValue(text[i * 3 + 1]);
    if (high < 0 || low < 0) return false;
    date[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// A text field (UTF-8) into code page 932 bytes; false when it holds more than `max`.
bool TextBytes(const Json& value, std::string* bytes, size_t max) {
  if (!value.is_string()) return false;
  *bytes = console::Utf8ToCp932(value.get<std::string>());
  return bytes->size() <= max;
}

int ReadVolume(Reader& r, const Json& volume) {
  uint8_t* sys = r.manifest->systemArea;
  if (!volume.is_object()) return r.Refuse(kPackBadValue, "volume");
  static const char* const kKeys[] = {"system_area",   "exdir",      "exdir_bytes",     "number",
                                      "date",          "name",       "name_bytes",      "fm_mark",
                                      "fm_mark_bytes", "auto_start", "auto_start_bytes"};
  for (const auto& [key, value] : volume.items()) {
    bool known = false;
    for (const char* k : kKeys) known = known || key == k;
    if (!known) return r.Refuse(kPackUnknownField, "volume." + key);
  }
  // The base first, then each field over it.
  if (volume.contains("system_area") &&
      ParseHex(volume["system_area"], sys, kSystemAreaBytes) != kSystemAreaBytes)
    return r.Refuse(kPackBadValue, "volume.system_area");
  if (volume.contains("exdir_bytes")) {
    if (ParseHex(volume["exdir_bytes"], sys + kSysExdirTrk, 2) != 2)
      return r.Refuse(kPackBadValue, "volume.exdir_bytes");
  } else if (volume.contains("exdir")) {
    if (!volume["exdir"].is_boolean()) return r.Refuse(kPackBadValue, "volume.exdir");
    const bool present = sys[kSysExdirTrk] >= 1 && sys[kSysExdirTrk] <= 83 &&
                         sys[kSysExdirSct] >= 1 && sys[kSysExdirSct] <= 16;
    if (volume["exdir"].get<bool>() && !present) {
      sys[kSysExdirTrk] = 2;  // placed first fit when the volume is packed
      sys[kSysExdirSct] = 1;
    } else if (!volume["exdir"].get<bool>()) {
      sys[kSysExdirTrk] = sys[kSysExdirSct] = 0xFF;
    }
  }
  if (volume.contains("number")) {
    const long n = ParseInteger(volume["number"], 0, 65535);
    if (n < 0) return r.Refuse(kPackBadValue, "volume.number");
    sys[kSysVolumeNumber] = static_cast<uint8_t>(n);
    sys[kSysVolumeNumber + 1] = static_cast<uint8_t>(n >> 8);
  }
  if (volume.contains("date") && !ParseDate(volume["date"], sys + kSysDate))
    return r.Refuse(kPackBadValue, "volume.date");
  if (volume.contains("name_bytes")) {
    std::memset(sys + kSysDiskName, 0, kSysDiskNameMax);
    if (ParseHex(volume["name_bytes"], sys + kSysDiskName, kSysDiskNameMax) < 0)
      return r.Refuse(kPackBadValue, "volume.name_bytes");
  } else if (volume.contains("name")) {
    std::string bytes;
    if (!TextBytes(volume["name"], &bytes, kSysDiskNameMax))
      return r.Refuse(kPackNameTooLong, "volume.name");
    std::memset(sys + kSysDiskName, 0, kSysDiskNameMax);
    std::memcpy(sys + kSysDiskName, bytes.data(), bytes.size());
  }
  if (volume.contains("fm_mark_bytes")) {
    if (ParseHex(volume["fm_mark_bytes"], sys + kSysIdMark, 2) != 2)
      return r.Refuse(kPackBadValue, "volume.fm_mark_bytes");
  } else if (volume.contains("fm_mark")) {
    if (!volume["fm_mark"].is_boolean()) return r.Refuse(kPackBadValue, "volume.fm_mark");
    const bool mark = volume["fm_mark"].get<bool>();
    sys[kSysIdMark] = mark ? 'F' : 0;
    sys[kSysIdMark + 1] = mark ? 'M' : 0;
  }
  if (volume.contains("auto_start_bytes")) {
    std::memset(sys + kSysAutoStart, 0, kSysAutoStartMax);
    if (ParseHex(volume["auto_start_bytes"], sys + kSysAutoStart, kSysAutoStartMax) < 0)
      return r.Refuse(kPackBadValue, "volume.auto_start_bytes");
  } else if (volume.contains("auto_start")) {
    std::string bytes;
    if (!TextBytes(volume["auto_start"], &bytes, kSysAutoStartMax))
      return r.Refuse(kPackBadValue, "volume.auto_start");
    std::memset(sys + kSysAutoStart, 0, kSysAutoStartMax);
    std::memcpy(sys + kSysAutoStart, bytes.data(), bytes.size());
    if (bytes.size() < static_cast<size_t>(kSysAutoStartMax))
      sys[kSysAutoStart + bytes.size()] = 0x0D;
  }
  return 0;
}

int ReadType(const Json& value) {
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    for (int type = 1; AttributeTypeName(type); type++) {
      const char* name = AttributeTypeName(type);
      bool same = text.size() == 3;
      for (size_t i = 0; i < 3 && same; i++) same = (text[i] & ~0x20) == name[i];
      if (same) return type;
    }
  }
  return static_cast<int>(ParseInteger(value, 1, 255));
}

int ReadFile(Reader& r, const Json& item, PackSlot* slot) {
  if (!item.is_object()) return r.Refuse(kPackBadValue, "files");
  if (item.contains("file") && item["file"].is_string()) r.what = item["file"].get<std::string>();
  static const char* const kKeys[] = {
      "slot", "file",   "raw",   "name",   "name_bytes", "type",       "lock",     "start", "exec",
      "date", "length", "track", "sector", "order",      "terminator", "reserved", "tail"};
  for (const auto& [key, value] : item.items()) {
    bool known = false;
    for (const char* k : kKeys) known = known || key == k;
    if (!known) return r.Refuse(kPackUnknownField, key);
  }
  slot->slot = -1;
  if (item.contains("slot")) {
    const long k = ParseInteger(item["slot"], 0, kMaxSlots - 1);
    if (k < 0) return r.Refuse(kPackBadValue, "slot");
    slot->slot = static_cast<int>(k);
  }
  if (item.contains("raw")) {
    slot->file = false;
    if (item.size() > (item.contains("slot") ? 2u : 1u)) return r.Refuse(kPackBadValue, "raw");
    if (ParseHex(item["raw"], slot->entry, kEntryBytes) != kEntryBytes)
      return r.Refuse(kPackBadValue, "raw");
    return 0;
  }
  if (!item.contains("file") || !item["file"].is_string() ||
      item["file"].get<std::string>().empty() ||
      item["file"].get<std::string>().size() >= kPathCapacity)
    return r.Refuse(kPackFileMissing, "file");
  const int keep = slot->slot;
  InitPackFile(slot, item["file"].get<std::string>().c_str());
  slot->slot = keep;
  r.what = slot->host;
  uint8_t* e = slot->entry;
  if (item.contains("order")) {
    const long order = ParseInteger(item["order"], 0, 255);
    if (order < 0) return r.Refuse(kPackBadValue, "order");
    e[kEntryOrder] = static_cast<uint8_t>(order);
  }
  if (item.contains("name_bytes")) {
    std::memset(e + kEntryName, 0x0D, kEntryNameMax);
    const int n = ParseHex(item["name_bytes"], e + kEntryName, kEntryNameMax);
    if (n < 0) return r.Refuse(kPackNameTooLong, "name_bytes");
    if (n == 0) return r.Refuse(kPackNameMissing, "name_bytes");
  } else if (item.contains("name")) {
    std::string bytes;
    if (!TextBytes(item["name"], &bytes, kEntryNameMax)) return r.Refuse(kPackNameTooLong, "name");
    if (bytes.empty()) return r.Refuse(kPackNameMissing, "name");
    std::memcpy(e + kEntryName, bytes.data(), bytes.size());
  } else {
    return r.Refuse(kPackNameMissing, "name");
  }
  if (item.contains("type")) {
    const int type = ReadType(item["type"]);
    if (type < 0) return r.Refuse(kPackTypeUnknown, "type");
    e[kEntryType] = static_cast<uint8_t>(type);
  }
  if (item.contains("lock")) {
    const long lock = ParseInteger(item["lock"], 0, 255);
    if (lock < 0) return r.Refuse(kPackBadValue, "lock");
    e[kEntryLock] = static_cast<uint8_t>(lock);
  }
  static const char* const kAddresses[] = {"start", "exec"};
  for (const char* key : kAddresses) {
    if (!item.contains(key)) continue;
    const long value = ParseAddress(item[key]);
    if (value < 0) return r.Refuse(kPackBadValue, key);
    StoreEntryWord(e, key[0] == 's' ? kEntryStart : kEntryExec, static_cast<unsigned>(value));
  }
  if (item.contains("date") && !ParseDate(item["date"], e + kEntryDate))
    return r.Refuse(kPackBadValue, "date");
  if (item.contains("length") && ParseInteger(item["length"], 0, kPackMaxFileBytes) < 0)
    return r.Refuse(kPackFileTooBig, "length");
  if (item.contains("track") != item.contains("sector"))
    return r.Refuse(kPackBadValue, item.contains("track") ? "sector" : "track");
  if (item.contains("track")) {
    const long track = ParseInteger(item["track"], 0, 255);
    const long sector = ParseInteger(item["sector"], 0, 255);
    if (track < 0) return r.Refuse(kPackBadValue, "track");
    if (sector < 0) return r.Refuse(kPackBadValue, "sector");
    e[kEntryTrk] = static_cast<uint8_t>(track);
    e[kEntrySct] = static_cast<uint8_t>(sector);
    slot->placed = true;
  }
  if (item.contains("terminator")) {
    const long end = ParseInteger(item["terminator"], 0, 255);
    if (end < 0) return r.Refuse(kPackBadValue, "terminator");
    e[kEntryNameEnd] = static_cast<uint8_t>(end);
  }
  if (item.contains("reserved")) {
    const long reserved = ParseInteger(item["reserved"], 0, 255);
    if (reserved < 0) return r.Refuse(kPackBadValue, "reserved");
    e[kEntryReserved] = static_cast<uint8_t>(reserved);
  }
  if (item.contains("tail")) {
    slot->tailBytes = ParseHex(item["tail"], slot->tail, kSectorBytes - 1);
    if (slot->tailBytes < 0) return r.Refuse(kPackBadValue, "tail");
  }
  return 0;
}

}  // namespace

std::string ManifestToJson(const PackManifest& manifest, const ManifestSource& source,
                           const std::vector<std::string>& shownNames) {
  const uint8_t* sys = manifest.systemArea;
  Json root;
  root["zelvo-disk"] = kPackManifestVersion;
  Json from = Json::object();
  if (!source.container.empty()) from["container"] = source.container;
  if (!source.layout.empty()) from["layout"] = source.layout;
  if (!source.convention.empty()) from["convention"] = source.convention;
  from["disk"] = source.disk;
  root["source"] = from;
  if (manifest.containerName[0])
    root["container_name"] = console::Cp932ToUtf8(manifest.containerName);
  Json volume;
  volume["name"] = FieldText(sys + kSysDiskName, kSysDiskNameMax, false);
  volume["name_bytes"] = Hex(sys + kSysDiskName, kSysDiskNameMax);
  volume["number"] = VolumeNumber(sys);
  volume["date"] = DateText(sys + kSysDate);
  volume["fm_mark"] = sys[kSysIdMark] == 'F' && sys[kSysIdMark + 1] == 'M';
  volume["fm_mark_bytes"] = Hex(sys + kSysIdMark, 2);
  volume["auto_start"] = FieldText(sys + kSysAutoStart, kSysAutoStartMax, true);
  volume["auto_start_bytes"] = Hex(sys + kSysAutoStart, kSysAutoStartMax);
  VolumeState shape = {};
  std::memcpy(shape.SystemArea, sys, kSystemAreaBytes);
  ApplyExdirRule(&shape);
  volume["exdir"] = shape.ExdirPresent != 0;
  volume["exdir_bytes"] = Hex(sys + kSysExdirTrk, 2);
  volume["system_area"] = Hex(sys, kSystemAreaBytes);
  root["volume"] = volume;
  if (manifest.boot[0]) root["boot"] = manifest.boot;
  Json files = Json::array();
  for (int i = 0; i < manifest.count; i++)
    files.push_back(SlotJson(manifest.slots[i], i < static_cast<int>(shownNames.size())
                                                    ? shownNames[i]
                                                    : std::string()));
  root["files"] = files;
  return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

int ManifestFromJson(const std::string& text, PackManifest* manifest, ManifestSource* source,
                     Outcome* out) {
  InitPackManifest(manifest);
  Reader r{manifest, out};
  const Json root = Json::parse(text, nullptr, false);
  if (root.is_discarded() || !root.is_object()) {
    SayPackRefused(out, -1, kManifestName, kPackNotManifest);
    return -1;
  }
  static const char* const kKeys[] = {"zelvo-disk", "source", "container_name",
                                      "volume",     "boot",   "files"};
  for (const auto& [key, value] : root.items()) {
    bool known = false;
    for (const char* k : kKeys) known = known || key == k;
    if (!known) return r.Refuse(kPackUnknownField, key);
  }
  if (root.contains("zelvo-disk") && ParseInteger(root["zelvo-disk"], 1, kPackManifestVersion) < 0)
    return r.Refuse(kPackBadValue, "zelvo-disk");
  if (root.contains("source")) {
    const Json& from = root["source"];
    if (!from.is_object()) return r.Refuse(kPackBadValue, "source");
    for (const auto& [key, value] : from.items()) {
      if (key != "container" && key != "layout" && key != "convention" && key != "disk")
        return r.Refuse(kPackUnknownField, "source." + key);
      if (key == "disk" ? !value.is_number_integer() : !value.is_string())
        return r.Refuse(kPackBadValue, "source." + key);
    }
    if (from.contains("convention")) {
      const std::string mode = from["convention"].get<std::string>();
      if (mode != "mz" && mode != "pc") return r.Refuse(kPackBadValue, "source.convention");
      source->convention = mode;
    }
  }
  if (root.contains("container_name")) {
    std::string bytes;
    if (!TextBytes(root["container_name"], &bytes, 16))
      return r.Refuse(kPackBadValue, "container_name");
    std::snprintf(manifest->containerName, sizeof manifest->containerName, "%s", bytes.c_str());
  }
  if (root.contains("volume") && ReadVolume(r, root["volume"]) != 0) return -1;
  if (root.contains("boot")) {
    const Json& boot = root["boot"];
    if (!boot.is_string() || boot.get<std::string>().size() >= kPathCapacity)
      return r.Refuse(kPackBadValue, "boot");
    std::snprintf(manifest->boot, sizeof manifest->boot, "%s", boot.get<std::string>().c_str());
  }
  if (root.contains("files")) {
    const Json& files = root["files"];
    if (!files.is_array()) return r.Refuse(kPackBadValue, "files");
    for (const Json& item : files) {
      r.index = manifest->count;
      r.what = "-";
      if (manifest->count >= kMaxSlots) return r.Refuse(kPackDirectoryFull, "files");
      PackSlot* slot = &manifest->slots[manifest->count];
      std::memset(slot, 0, sizeof *slot);
      if (ReadFile(r, item, slot) != 0) return -1;
      manifest->count++;
    }
  }
  return 0;
}

}  // namespace cli
