// A change that could not be written is refused before its question, naming what is not
// writable; the image stays byte for byte. Root writes anywhere: then zelvo runs as nobody.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "support/test_support.h"
#include "texts/texts.h"

namespace clitest {
namespace {

using testsupport::Pattern;

class WritableTest : public CliTest {
 protected:
  // The executable to run: zelvo itself, or as root a script that runs it as nobody.
  std::string Runner() {
    if (geteuid() != 0) return ZELVO_EXE;
    if (std::system("setpriv --version >/dev/null 2>&1") != 0) return "";
    const std::string script = Path("as_nobody.sh");
    testimg::WriteFile(script, Bytes(std::string("#!/bin/sh\nexec setpriv --reuid=65534 "
                                                 "--regid=65534 --clear-groups ") +
                                     ZELVO_EXE + " \"$@\"\n"));
    chmod(script.c_str(), 0755);
    return script;
  }
};

TEST_F(WritableTest, AnUnwritableImageOrFolderIsRefusedBeforeTheQuestion) {
  const std::string runner = Runner();
  if (runner.empty()) GTEST_SKIP() << "setpriv(1) is not available";
  const bool asNobody = geteuid() == 0;
  chmod(temp.path().c_str(), 0755);
  chmod(codes.c_str(), 0644);
  ASSERT_EQ(mkdir(Path("open").c_str(), 0777), 0);
  chmod(Path("open").c_str(), 0777);  // whatever the umask
  testimg::WriteFile(Path("in.bin"), Pattern(10, 3));
  chmod(Path("in.bin").c_str(), 0644);
  struct Case {
    const char* image;
    mode_t mode;
    std::string said;
  } const cases[] = {
      {"open/ro.d88", 0444, "zelvo: open/ro.d88: Permission denied; nothing written\n"},
      {"shut.d88", 0666,
       "zelvo: .: Permission denied: the journal shut.d88-journal cannot be made there; nothing "
       "written\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image);
    const std::string path = WriteImage(testimg::VolumeBuilder(), c.image, true, 0);
    chmod(path.c_str(), c.mode);
    if (!asNobody && c.mode == 0666) chmod(temp.path().c_str(), 0555);
    const auto before = testimg::ReadFile(path);
    const Result r = ZelvoAt(runner, {"import", "--yes", "--codes", codes, c.image, "in.bin"});
    chmod(temp.path().c_str(), 0755);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, c.said);
    EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));
  }
}

}  // namespace
}  // namespace clitest
