// zelvo's verbs come from one table: the overall help lists every row, each verb is reached by its
// own name, and a name outside the table is wrong usage that runs nothing.
#include <cctype>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "image/container.h"

namespace clitest {
namespace {

using VerbTableTest = CliTest;

struct Listed {
  std::string name;
  std::string description;
};

// The "Subcommands:" block of the overall help: a name, blanks, the description.
std::vector<Listed> SubcommandsOf(const std::string& help) {
  std::vector<Listed> verbs;
  std::istringstream lines(help);
  std::string line;
  bool inBlock = false;
  while (std::getline(lines, line)) {
    if (line == "Subcommands:") {
      inBlock = true;
    } else if (inBlock && line.empty()) {
      break;
    } else if (inBlock) {
      const size_t nameStart = line.find_first_not_of(' ');
      const size_t nameEnd = line.find(' ', nameStart);
      const size_t textStart = line.find_first_not_of(' ', nameEnd);
      verbs.push_back({line.substr(nameStart, nameEnd - nameStart),
                       textStart == std::string::npos ? "" : line.substr(textStart)});
    }
  }
  return verbs;
}

TEST_F(VerbTableTest, TheHelpListsEveryVerbInOrderAndEachIsReachedByItsOwnName) {
  const Result help = Zelvo({"--help"});
  ASSERT_EQ(help.code, 0) << help.err;
  const std::vector<Listed> verbs = SubcommandsOf(help.out);
  std::vector<std::string> names;
  for (const Listed& verb : verbs) names.push_back(verb.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"ls", "identify", "export", "import", "new", "check", "rm",
                                      "rename", "attr", "undelete", "sectors", "convert", "join",
                                      "patch", "unpack", "pack", "copy"}));

  for (const Listed& verb : verbs) {
    SCOPED_TRACE(verb.name);
    // Built alone (the verb is named first), it shows its own help ...
    const Result own = Zelvo({verb.name, "--help"});
    EXPECT_EQ(own.code, 0) << own.err;
    EXPECT_EQ(own.out.rfind(verb.description + "\nUsage: zelvo " + verb.name + " ", 0), 0u)
        << own.out;
    // ... and its own usage error when its arguments are missing.
    const Result bare = Zelvo({verb.name});
    EXPECT_EQ(bare.code, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_NE(bare.err.find(" is required\n"), std::string::npos) << bare.err;
  }
}

std::string SourceText(const std::string& relative) {
  std::ifstream in(std::string(ZELVO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The man page's SYNOPSIS names every verb and every extension of the container table; the bash
// completion offers every verb and completes images of every extension, in either case.
TEST_F(VerbTableTest, ManPageAndCompletionKnowEveryVerbAndContainer) {
  const std::string man = SourceText("docs/zelvo.1");
  const std::string synopsis = man.substr(0, man.find(".SH DESCRIPTION"));
  const std::string completion = SourceText("completions/zelvo");
  const size_t commandsAt = completion.find("local commands=\"");
  std::string commands =
      completion.substr(commandsAt, completion.find('\n', commandsAt) - commandsAt) + " ";
  for (char& c : commands)
    if (c == '"') c = ' ';
  const size_t imagesAt = completion.find("local images='@(");
  ASSERT_NE(imagesAt, std::string::npos);
  const std::string images =
      "|" + completion.substr(imagesAt + 16, completion.find(")'", imagesAt) - imagesAt - 16) + "|";
  for (const Listed& verb : SubcommandsOf(Zelvo({"--help"}).out)) {
    SCOPED_TRACE(verb.name);
    EXPECT_NE(synopsis.find("\\fBzelvo " + verb.name), std::string::npos);
    EXPECT_NE(commands.find(" " + verb.name + " "), std::string::npos);
  }
  EXPECT_NE(synopsis.find("\\fBzelvo ls \\-\\-deleted"), std::string::npos);
  for (int k = 0; k < kContainerKindCount; ++k) {
    for (int e = 0; e < kContainerKinds[k]->extensionCount; ++e) {
      const std::string extension = kContainerKinds[k]->extensions[e].extension;
      SCOPED_TRACE(extension);
      std::string upper = extension.substr(1);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_NE(synopsis.find(extension), std::string::npos);
      EXPECT_NE(images.find("|" + extension.substr(1) + "|"), std::string::npos) << images;
      EXPECT_NE(images.find("|" + upper + "|"), std::string::npos) << images;
    }
  }
}

// A name outside the table is wrong usage that runs nothing; the verb it most likely means is
// named.
TEST_F(VerbTableTest, ANameOutsideTheTableIsWrongUsageAndRunsNothing) {
  // A clean image: the check, were it run by default, would print its verdict and exit 0.
  WriteImage(testimg::VolumeBuilder(), "disk.d88", true, 0);
  const std::string help = " (run 'zelvo --help' for the commands)";
  const struct {
    std::vector<std::string> args;
    std::string after;  // what follows "unknown command 'NAME'"
  } cases[] = {
      {{"chek", "disk.d88"}, " (did you mean 'check'?)"},
      {{"LS", "disk.d88"}, " (did you mean 'ls'?)"},
      {{"ls2", "disk.d88"}, " (did you mean 'ls'?)"},
      {{"list", "disk.d88"}, " (did you mean 'ls'?)"},
      {{"delete", "disk.d88", "#0"}, " (did you mean 'rm'?)"},
      {{"", "disk.d88"}, help},
      {{"disk.d88"}, help},
      {{"help"}, help},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const Result r = Zelvo(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "zelvo: unknown command '" + c.args[0] + "'" + c.after + "\n");
  }
}

}  // namespace
}  // namespace clitest
