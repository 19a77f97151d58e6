// zelvo rename: a new name for a file.
#include <memory>
#include <string>

#include "cli/file_args.h"
#include "cli/verbs.h"

namespace cli {

Verb AddRename(CLI::App& app) {
  struct Options {
    ChangeOptions change;
    std::string file;
    std::string name;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("rename", "Give a file of the image a new name");
  AddChangeOptions(command, &options->change);
  command
      ->add_option("FILE", options->file,
                   "The file's name as stored (any case), or #N for list row N")
      ->required();
  command->add_option("NEWNAME", options->name, "The new name (0-9 A-Z a-z and '.', up to 16)")
      ->required();
  return {command, [options]() {
            if (StartChange(options->change) != 0) return kExitFailed;
            const int slot = ResolveSlot(options->file, options->change.image);
            if (slot < 0) return kExitFailed;
            AttributeOptions attributes;
            attributes.fields["name"] = options->name;
            return EditAttributesOfImage(slot, attributes);
          }};
}

}  // namespace cli
