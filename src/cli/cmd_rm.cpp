// zelvo rm: delete files of the image, through the delete command.
#include <memory>
#include <string>
#include <vector>

#include "cli/file_args.h"
#include "cli/verbs.h"
#include "transfer/delete_files.h"
#include "volume/file_ops.h"

namespace cli {

Verb AddRm(CLI::App& app) {
  struct Options {
    ChangeOptions change;
    std::vector<std::string> files;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("rm", "Delete files of the image (one change)");
  AddChangeOptions(command, &options->change);
  command
      ->add_option("FILE", options->files,
                   "The file's name as stored (any case), or #N for list row N")
      ->required();
  return {command, [options]() {
            if (StartChange(options->change) != 0) return kExitFailed;
            std::vector<int> slots;
            for (const std::string& file : options->files) {
              const int slot = ResolveSlot(file, options->change.image);
              if (slot < 0) return kExitFailed;
              slots.push_back(slot);
            }
            if (slots.size() > static_cast<size_t>(kMaxSlots)) return kExitUsage;
            return DeleteFiles(console::kMainWindow, slots.data(),
                               static_cast<int>(slots.size())) == 0
                       ? kExitOk
                       : kExitFailed;
          }};
}

}  // namespace cli
