// zelvo new: a new image file holding a blank volume.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "cli/edit_support.h"
#include "cli/host_checks.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "texts/texts.h"
#include "transfer/new_image.h"

namespace cli {
namespace {

std::string LowerExtension(const std::string& path) {
  char extension[256];
  SplitExtension(path.c_str(), extension, sizeof extension);
  for (char* c = extension; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  return extension;
}

void CopyField(const std::string& text, char* out, size_t capacity) {
  std::snprintf(out, capacity, "%s", text.c_str());
}

}  // namespace

Verb AddNew(CLI::App& app) {
  auto options = std::make_shared<NewOptions>();
  CLI::App* command = app.add_subcommand(
      "new", "Create an image holding a blank volume (layout from the extension)");
  command->add_option("--mode", options->mode, "Recording convention: mz (default) or pc")
      ->check(CLI::IsMember({"mz", "pc"}, CLI::ignore_case))
      ->type_name("mz|pc");
  command->add_option("--name", options->diskName, "Disk name, at most 27 bytes (empty)")
      ->type_name("NAME");
  command->add_option("--volume", options->volumeNumber, "Volume number, 0-65535 (0: master)")
      ->type_name("N");
  command->add_option("--date", options->date, "Volume date YY/MM/DD (today)")
      ->type_name("YY/MM/DD");
  command->add_flag("--exdir", options->exdir, "Give the volume an extended directory");
  command
      ->add_option("--like", options->like,
                   "Start like this image: its tracks 0 and 1, bit table reset, directory emptied")
      ->check(cli::kExistingHostFile)
      ->type_name("IMAGE");
  command->add_option("--like-mode", options->likeMode, "Convention of the --like image (--mode)")
      ->check(CLI::IsMember({"mz", "pc"}, CLI::ignore_case))
      ->type_name("mz|pc");
  command->add_flag("--force", options->force, "Replace an existing IMAGE");
  AddWait(command);
  AddQuiet(command);
  command->add_option("IMAGE", options->image, "The new image: " + ImageExtensionList())
      ->required();
  return {command, [options]() {
            options->mode = Lower(options->mode);
            options->likeMode = Lower(options->likeMode);
            return RunNew(*options);
          }};
}

int RunNew(const NewOptions& options) {
  console::Settings settings;
  StartSession(settings, options.mode, false);

  const int format = FormatForExtension(LowerExtension(options.image).c_str());
  if (format < 0) {
    PrintMessage(kCaptionExtension, kMsgBadExtension);
    return kExitFailed;
  }
  int likeFormat = 0;
  if (!options.like.empty()) {
    likeFormat = FormatForExtension(LowerExtension(options.like).c_str());
    if (likeFormat < 0) {
      PrintMessage(kCaptionExtension, kMsgBadExtension);
      return kExitFailed;
    }
  }

  // The same checks as the New command's dialog.
  NewVolumeTexts texts = {};
  CopyField(console::ArgumentToCp932(options.diskName), texts.diskName, sizeof texts.diskName);
  CopyField(options.volumeNumber, texts.volumeNumber, sizeof texts.volumeNumber);
  uint8_t today[3];
  TodayBcd(today);
  std::string year, month, day;
  if (options.date.empty()) {
    char text[3][4];
    for (int i = 0; i < 3; i++) std::snprintf(text[i], sizeof text[i], "%02X", today[i]);
    year = text[0], month = text[1], day = text[2];
  } else {
    const size_t first = options.date.find('/');
    const size_t second = first == std::string::npos ? first : options.date.find('/', first + 1);
    year = options.date.substr(0, first);
    month = first == std::string::npos ? "" : options.date.substr(first + 1, second - first - 1);
    day = second == std::string::npos ? "" : options.date.substr(second + 1);
  }
  CopyField(year, texts.year, sizeof texts.year);
  CopyField(month, texts.month, sizeof texts.month);
  CopyField(day, texts.day, sizeof texts.day);
  texts.exdir = options.exdir;

  // A name beyond ASCII goes through the code table (full-width characters to the table's).
  bool wide = false;
  for (const char* c = texts.diskName; *c; c++)
    wide = wide || static_cast<unsigned char>(*c) >= 0x80;
  if (wide) {
    if (LoadTables("") != 0) return kExitFailed;
    texts.tbl1 = Disk().tables.TBL1;
  }
  NewImageRequest request = {};
  const char* refusal = nullptr;
  char lacking[3] = "";
  if (CheckNewVolumeTexts(texts, &request.volume, &refusal, lacking) != 0) {
    Outcome refused;
    OutcomeClear(&refused);
    SayNewVolumeRefusal(&refused, refusal, lacking);
    PrintOutcome(refused);
    return kExitFailed;
  }
  request.path = options.image.c_str();
  request.imageFormat = format;
  request.machineMode = Disk().target.machineMode;
  request.likePath = options.like.empty() ? nullptr : options.like.c_str();
  request.likeFormat = likeFormat;
  const std::string likeMode = options.likeMode.empty() ? options.mode : options.likeMode;
  request.likeMode = (likeMode == "pc" || likeMode == "PC") ? kModePc : kModeMz;
  request.replace = options.force;
  request.change = &Disk().change;
  const bool existed = ImageFileExists(options.image.c_str()) == 1;
  Outcome out;
  OutcomeClear(&out);
  const int made = MakeNewImage(&out, request);
  PrintOutcome(out);
  if (made != 0) {
    if (existed && !options.force) console::Note("pass --force to replace it");
    return kExitFailed;
  }
  PrintWrittenPath(options.image);
  return kExitOk;
}

}  // namespace cli
