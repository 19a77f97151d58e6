// What the verbs that change files share: their options, the session, FILE arguments and the
// attribute dialog's input.
#include "cli/file_args.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/edit_support.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "texts/texts.h"
#include "transfer/edit_attributes.h"
#include "view/directory_list.h"
#include "volume/file_ops.h"
#include "volume/layout.h"

namespace cli {

void AddChangeOptions(CLI::App* command, ChangeOptions* options) {
  AddMode(command, &options->mode);
  command
      ->add_option("--codes", options->codes,
                   "Code conversion file (default: CodeChg.txt beside the executable)")
      ->type_name("FILE");
  command->add_flag("--yes", options->yes, "Answer the confirmation with Yes: write the image");
  AddAnyConvention(command);
  command->add_option("IMAGE", options->image, "Disk image: " + ImageExtensionList())->required();
}

int StartChange(const ChangeOptions& options) {
  console::Settings settings;
  settings.yes = options.yes;
  settings.interactive = !options.yes && console::OnTerminal();
  std::string mode = options.mode;
  for (char& c : mode)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  StartSession(settings, mode, false);
  if (LoadTables(options.codes) != 0) return -1;
  return OpenImage(options.image, true);
}

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a.substr(i, 1)) != Lower(b.substr(i, 1))) return false;
  return true;
}

// The first three characters of the type as the list shows it ("OBJ", "TEX").
std::string TypeExtension(int slot) {
  DirectoryRow row;
  FormatDirectoryRow(Disk().volume.DirectoryBuffer + slot * kEntryBytes, Disk().tables.TBL1, &row);
  std::string type = row.cells[kColType];
  type.resize(std::min<size_t>(type.size(), 3));
  while (!type.empty() && type.back() == ' ') type.pop_back();
  return type;
}

}  // namespace

std::string ShownName(int slot) {
  DirectoryRow row;
  FormatDirectoryRow(Disk().volume.DirectoryBuffer + slot * kEntryBytes, Disk().tables.TBL1, &row);
  return row.cells[kColName];
}

std::string PlainName(int slot) {
  std::string plain;
  for (const char c : StoredName(slot)) {
    const auto code = static_cast<unsigned char>(c);
    const bool letterOrDigit = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') ||
                               (code >= 'a' && code <= 'z');
    const unsigned char host = letterOrDigit ? code : Disk().tables.TBL2[code];
    // A byte that stands alone in code page 932 (ASCII and the half-width kana) as itself.
    const bool single = (host >= 0x20 && host < 0x7F) || (host >= 0xA1 && host <= 0xDF);
    plain.push_back(single ? static_cast<char>(host) : '_');
  }
  return plain;
}

std::vector<std::string> DefaultHostNames(const std::vector<int>& slots) {
  // '/', '\\' and what Windows refuses in a name (PlainName has no control characters).
  auto hostForm = [](std::string name) {
    for (char& c : name)
      if (c != '\0' && std::strchr("/\\:*?\"<>|", c)) c = '_';
    return name;
  };
  std::vector<std::string> names;
  for (const int slot : slots) {
    std::string name = PlainName(slot);
    if (name.empty()) name = "_";
    const std::string type = TypeExtension(slot);
    const bool typed = name.find('.') == std::string::npos;
    if (typed && !type.empty()) name += "." + type;
    name = hostForm(name);
    bool taken = false;
    for (const std::string& earlier : names) taken = taken || SameIgnoringCase(earlier, name);
    if (taken && !typed && !type.empty()) name = hostForm(name + "." + type);
    names.push_back(name);
  }
  return names;
}

int ResolveSlot(const std::string& file, const std::string& image) {
  if (file.size() >= 2 && file[0] == '#' &&
      file.find_first_not_of("0123456789", 1) == std::string::npos) {
    const int slot = file.size() <= 10
                         ? SlotOfRow(Disk().volume.DirectoryBuffer, Disk().volume.EntryCount,
                                     static_cast<int>(std::strtol(file.c_str() + 1, nullptr, 10)))
                         : -1;
    if (slot < 0) console::Note(file + ": no such file in " + image);
    return slot;
  }
  // The name as stored, as ls shows it, or plain (ls --json's "name").
  const std::string name = console::ArgumentToCp932(file);
  std::vector<int> found;
  for (int k = 0; k < Disk().volume.EntryCount && k < kMaxSlots; ++k) {
    if (Disk().volume.DirectoryBuffer[k * kEntryBytes + kEntryType] == 0) continue;
    if (SameIgnoringCase(StoredName(k), name) || SameIgnoringCase(ShownName(k), name) ||
        SameIgnoringCase(PlainName(k), name))
      found.push_back(k);
  }
  if (found.empty()) {
    console::Note(file + ": no such file in " + image);
    return -1;
  }
  if (found.size() > 1) {
    std::string rows;
    for (const int slot : found)
      rows += (rows.empty() ? "#" : ", #") + std::to_string(RowOfSlot(slot));
    console::Note(file + ": names " + std::to_string(found.size()) + " files in " + image + " (" +
                  rows + "): give one of them as #N; nothing done");
    return -1;
  }
  return found[0];
}

void ApplyAttributeOptions(const AttributeOptions& options, AttributeTexts* texts) {
  std::map<std::string, std::string> typed;  // the fields in code page 932
  for (const auto& [key, value] : options.fields) typed[key] = console::ArgumentToCp932(value);
  auto field = [&typed](const char* key) {
    const auto it = typed.find(key);
    return it == typed.end() ? nullptr : it->second.c_str();
  };
  TypedAttributes attributes;
  attributes.name = field("name");
  attributes.type = field("type");
  attributes.start = field("start");
  attributes.exec = field("exec");
  attributes.date = field("date");
  attributes.lock = options.lock ? 1 : options.unlock ? 0 : -1;
  TypeAttributeTexts(attributes, texts);
}

int EditAttributesOfImage(int slot, const AttributeOptions& options) {
  if (BeginFileChange(&slot, 1) != 0) return kExitFailed;
  uint8_t entry[kEntryBytes];
  std::memcpy(entry, Disk().volume.DirectoryBuffer + slot * kEntryBytes, kEntryBytes);
  AttributeTexts texts;
  ShownAttributeTexts(entry, &texts);
  char shownName[kControlTextCapacity];
  std::memcpy(shownName, texts.name, sizeof shownName);
  ApplyAttributeOptions(options, &texts);
  AttributeCheckFailure failure;
  if (CheckEditedAttributes(texts, shownName, &Disk().volume, slot, entry, &failure) != 0) {
    PrintMessage(failure.caption, failure.text, failure.textEn);
    return kExitFailed;
  }
  if (!console::Ask(kMsgAttributesConfirm, nullptr, kCaptionConfirm)) return kExitFailed;
  SayChange(
      options.fields.size() == 1 && options.fields.count("name") && !options.lock && !options.unlock
          ? "renamed " + console::Cp932ToUtf8(PlainName(slot)) + " to " + options.fields.at("name")
          : "changed the attributes of " + console::Cp932ToUtf8(PlainName(slot)));
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  const int result = CommitAttributeEdit(&out, &target, &Disk().volume, slot, entry);
  return EndFileChange(result, out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace cli
