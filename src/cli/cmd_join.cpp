// zelvo join: one D88 file from the disks of several images.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/verbs.h"
#include "transfer/convert_image.h"

namespace cli {
namespace {

struct JoinOptions {
  std::string target;
  std::vector<std::string> sources;
  bool force = false;
};

int RunJoin(const JoinOptions& options) {
  console::Settings settings;
  StartSession(settings, "mz", false);
  std::vector<const char*> sources;
  for (const std::string& source : options.sources) sources.push_back(source.c_str());
  Outcome out;
  OutcomeClear(&out);
  const int result = JoinImages(&out, options.target.c_str(), sources.data(),
                                static_cast<int>(sources.size()), options.force);
  Report(out);
  if (result != 0) return kExitFailed;
  PrintWrittenPath(options.target);
  return kExitOk;
}

}  // namespace

Verb AddJoin(CLI::App& app) {
  auto options = std::make_shared<JoinOptions>();
  CLI::App* command = app.add_subcommand(
      "join", "Build one D88 file from the disks of several images, names and protection kept");
  command->add_flag("--force", options->force, "Replace an existing OUT");
  AddWait(command);
  AddQuiet(command);
  command->add_option("OUT", options->target, "The D88 file to build (.d88)")->required();
  command->add_option("IN", options->sources, "The images, in order: " + ImageExtensionList())
      ->required();
  return {command, [options]() { return RunJoin(*options); }};
}

}  // namespace cli
