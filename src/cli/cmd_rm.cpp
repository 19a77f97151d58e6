// zelvo rm: delete files of the image, in one change.
#include <memory>
#include <string>
#include <vector>

#include "cli/edit_support.h"
#include "cli/file_args.h"
#include "cli/verbs.h"
#include "texts/texts.h"
#include "transfer/delete_files.h"
#include "volume/file_ops.h"

namespace cli {
namespace {

int DeleteSlotsOfImage(const int* slots, int count) {
  if (BeginFileChange(slots, count) != 0) return kExitFailed;
  Outcome out;
  OutcomeClear(&out);
  static DeletePlan plan;
  if (PlanDelete(&out, &Disk().volume, Disk().tables.TBL1, slots, count, &plan) != 0) {
    PrintOutcome(out);
    return kExitFailed;
  }
  char question[512];
  char questionEn[512];
  DeleteQuestion(plan, &Disk().volume, Disk().tables.TBL1, question, sizeof question, questionEn);
  if (!console::Ask(question, questionEn, kCaptionConfirm)) return kExitFailed;
  std::string names;
  for (int i = 0; i < count; ++i)
    names += (i ? ", " : "") + console::Cp932ToUtf8(PlainName(slots[i]));
  SayChange("deleted " + names);
  ImageTarget target;
  target = Disk().target;
  const int result = CommitDelete(&out, &target, &Disk().volume, plan);
  return EndFileChange(result, out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace

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
            return DeleteSlotsOfImage(slots.data(), static_cast<int>(slots.size()));
          }};
}

}  // namespace cli
