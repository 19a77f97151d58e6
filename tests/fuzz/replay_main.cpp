// Runs a fuzz target's entry point over files and folders of inputs: the seed corpus, the
// checked-in corpus and every past crash. Each input runs in a child process, so that one broken
// invariant (an abort) does not hide the others; any failed input fails the test.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int failures = 0;

void Run(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  std::fflush(stderr);
  const pid_t child = fork();
  if (child == 0) {
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    // exit, not _exit: the child's exit handlers remove the work folder it made.
    std::exit(0);
  }
  int status = 0;
  const bool passed = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                      WEXITSTATUS(status) == 0;
  std::fprintf(stderr, "%s %s (%zu bytes)\n", passed ? "passed" : "FAILED", file.string().c_str(),
               bytes.size());
  if (!passed) failures++;
}

}  // namespace

// Usage: replay [--require-inputs] PATH...; folders are run file by file in name order, missing
// paths are skipped. With --require-inputs, finding no input at all is a failure.
int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  bool requireInputs = false;
  int runs = 0;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--require-inputs") {
      requireInputs = true;
      continue;
    }
    std::error_code ec;
    if (fs::is_regular_file(arg, ec)) {
      Run(arg);
      runs++;
      continue;
    }
    if (!fs::is_directory(arg, ec)) continue;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(arg, ec))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) Run(file);
    runs += static_cast<int>(files.size());
  }
  std::fprintf(stderr, "%d inputs replayed, %d failed\n", runs, failures);
  if (failures > 0) return 1;
  return requireInputs && runs == 0 ? 1 : 0;
}
