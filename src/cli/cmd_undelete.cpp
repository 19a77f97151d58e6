// zelvo undelete: a deleted entry (#dN, as ls --deleted numbers them) made a file again, in one
// change.
#include <memory>
#include <string>

#include "cli/edit_support.h"
#include "cli/file_args.h"
#include "cli/verbs.h"
#include "image/journal.h"
#include "texts/texts.h"
#include "transfer/convention_guard.h"
#include "transfer/undelete.h"

namespace cli {
namespace {

constexpr const char* kTypeNames[] = {"OBJ", "TEX", "CMD", "REL", "SCD", "RDD"};

struct UndeleteOptions {
  ChangeOptions change;
  std::string entry;  // #dN
  std::string type = "OBJ";
  std::string name;
  bool rename = false;
};

// The type byte of a type text (any case), or 0.
uint8_t TypeByte(const std::string& text) {
  for (int i = 0; i < 6; ++i) {
    const std::string name = kTypeNames[i];
    bool same = name.size() == text.size();
    for (size_t k = 0; same && k < name.size(); ++k)
      same = name[k] == (text[k] >= 'a' && text[k] <= 'z' ? text[k] - 32 : text[k]);
    if (same) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

int RunUndelete(const UndeleteOptions& options) {
  if (StartChange(options.change) != 0) return kExitFailed;
  const int number = std::stoi(options.entry.substr(2));
  ImageTarget target;
  target = Disk().target;
  Outcome out;
  OutcomeClear(&out);
  if (RefuseChange(&out, &target) != 0) {
    PrintOutcome(out);
    return kExitFailed;
  }
  const std::string name = console::ArgumentToCp932(options.name);
  static UndeletePlan plan;
  if (PlanUndelete(&out, &Disk().volume, Disk().tables.TBL1, number, TypeByte(options.type),
                   options.rename ? name.c_str() : nullptr, &plan) != 0) {
    PrintOutcome(out);
    return kExitFailed;
  }
  char question[512], questionEn[512];
  UndeleteQuestion(plan, &Disk().volume, Disk().tables.TBL1, question, questionEn, sizeof question);
  if (!console::Ask(question, questionEn, kCaptionConfirm)) return kExitFailed;
  SayChange("restored " + options.entry);
  const int result = CommitUndelete(&out, &target, &Disk().volume, plan);
  return EndFileChange(result, out) == 0 ? kExitOk : kExitFailed;
}

}  // namespace

Verb AddUndelete(CLI::App& app) {
  auto options = std::make_shared<UndeleteOptions>();
  CLI::App* command =
      app.add_subcommand("undelete", "Restore a deleted file that can be recovered (one change)");
  AddChangeOptions(command, &options->change);
  command
      ->add_option("ENTRY", options->entry,
                   "The deleted entry as `zelvo ls --deleted` numbers it: #d0, #d1, ...")
      ->required()
      ->check([](const std::string& text) {
        const bool good = text.size() >= 3 && text.size() <= 6 && text.compare(0, 2, "#d") == 0 &&
                          text.find_first_not_of("0123456789", 2) == std::string::npos;
        return good ? std::string() : std::string("give #dN, as ls --deleted numbers them");
      });
  command->add_option("--type", options->type, "The restored file's type (default OBJ)")
      ->check([](const std::string& text) {
        return TypeByte(text) ? std::string() : std::string("one of OBJ TEX CMD REL SCD RDD");
      })
      ->type_name("OBJ|TEX|CMD|REL|SCD|RDD");
  command->add_option("--name", options->name, "A new stored name for the restored file")
      ->type_name("NEW");
  return {command, [options]() {
            options->rename = !options->name.empty();
            return RunUndelete(*options);
          }};
}

}  // namespace cli
