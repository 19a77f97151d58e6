// Another program's hold on the image, seen from this one: what each kind of hold lets through,
// the wait that ends when the holder lets go, a live journal that is waited for rather than
// played back, and this process's own hold shared by its opens. On Linux also the lock itself as
// other programs see it: a record lock on the lock range, which the record locks that Wine takes
// for the Windows program meet.
#include "image/image_lock.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "flows/app_image.h"
#include "flows/app_state.h"
#include "flows/import.h"
#include "flows/volume_load.h"
#include "image/journal.h"
#include "image/sector_transfer.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/volume_change.h"
#include "volume/layout.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::BytesEqual;
using testsupport::Pattern;

std::vector<int> WaitCalls;
void RecordWait(int waiting) { WaitCalls.push_back(waiting); }

class ImageLockTest : public testsupport::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    testimg::VolumeBuilder v;
    testimg::FileSpec f;
    f.name = "OLD";
    f.data = Pattern(600, 1);
    v.AddFile(f);
    testimg::ImageSpec shape;
    shape.d88 = true;
    shape.machineMode = kModePc;
    original = testimg::BuildImage(v, shape);
    App.MachineMode = kModePc;
    path = UseImage(original, "disk.d88", kFormatD88);
    journal = path + "-journal";
    LoadVolume(scripted::kMainWindow);
    ASSERT_EQ(1, App.VolumeLoaded);
    ImageWaitMs = 40;
    WaitCalls.clear();
    ImageWaitHook = RecordWait;
  }
  void TearDown() override {
    ImageFileClose(&other);
    ImageHoldEnd();
    ImageWaitMs = kImageWaitDefaultMs;
    ImageWaitHook = nullptr;
  }

  // Another program's open of the image (a lock of its own: the lock belongs to the open file).
  void HoldElsewhere(ImageOpenMode mode) {
    ASSERT_EQ(0, ImageFileTryOpen(path.c_str(), mode, &other));
  }

  ImageTarget Target() {
    ImageTarget target;
    AppImageTarget(&target);
    return target;
  }

  // Begins a change and writes one sector; the result of the begin, the outcome in `out`.
  int WriteOneSector(Outcome* out) {
    const ImageTarget target = Target();
    if (BeginImageChange(out, &target) != 0) return -1;
    uint8_t sector[256];
    std::memset(sector, 0x5A, sizeof sector);
    EXPECT_EQ(kImageOk, WriteSectors(&target, sector, 10, 1, 256));
    return CommitImageChange(out, target.change);
  }

  Bytes original;
  std::string path;
  std::string journal;
  ImageFile other{-1};
};

// Whether a hold on a file that cannot be written keeps readers out: Windows' share modes and
// flock do; a record lock taken through a descriptor that cannot write is a shared one.
#if defined(_WIN32) || !defined(F_OFD_SETLK)
constexpr int kReadBesideReadOnlyHold = kImageReadBusy;
#else
constexpr int kReadBesideReadOnlyHold = kImageOk;
#endif

// What each hold of another program lets through: readers share, a writer is alone. A refused
// write leaves the image as it was, and every wait shows (the window's wait cursor).
TEST_F(ImageLockTest, EachHoldOfAnotherProgramLetsThroughWhatItShares) {
  struct Case {
    const char* what;
    ImageOpenMode held;
    int read;   // ReadSectors' status
    int begin;  // BeginImageChange's result
  };
  const Case cases[] = {
      {"a reader", kOpenShared, kImageOk, -1},
      {"a writer", kOpenUpdate, kImageReadBusy, -1},
      {"a hold on a read-only file", kOpenReadExclusive, kReadBesideReadOnlyHold, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HoldElsewhere(c.held);
    WaitCalls.clear();
    uint8_t buffer[256];
    const ImageTarget target = Target();
    EXPECT_EQ(c.read, ReadSectors(&target, buffer, 2, 1, 256));
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(c.begin, WriteOneSector(&out));
    EXPECT_TRUE(OutcomeHas(&out, kMsgWriteOpenBusy));
    // Every wait that began ended.
    ASSERT_FALSE(WaitCalls.empty());
    for (size_t i = 0; i < WaitCalls.size(); i++) EXPECT_EQ(i % 2 == 0 ? 1 : 0, WaitCalls[i]);
    ImageFileClose(&other);  // (Windows lets nobody read the bytes while it is held)
    EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(path)));
    EXPECT_FALSE(testimg::FileExists(journal));
  }
  // Nobody holds it: the same write goes through without a wait.
  WaitCalls.clear();
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(0, WriteOneSector(&out));
  EXPECT_TRUE(WaitCalls.empty());
  EXPECT_FALSE(BytesEqual(original, testimg::ReadFile(path)));
}

// A wait ends as soon as the holder lets go, well before the time allowed.
TEST_F(ImageLockTest, AWaitEndsWhenTheHolderLetsGo) {
  HoldElsewhere(kOpenUpdate);
  ImageWaitMs = 20000;
  std::thread holder([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ImageFileClose(&other);
  });
  const auto start = std::chrono::steady_clock::now();
  Outcome out;
  OutcomeClear(&out);
  EXPECT_EQ(0, WriteOneSector(&out));
  holder.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// The journal of a writer that still holds the image is no crash: it is waited for, never played
// back; once nobody holds the image it is the journal of a stopped writer, and it is.
TEST_F(ImageLockTest, ALiveJournalIsWaitedForAndAStoppedOneRecovered) {
  const std::string host = temp.Path("F1");
  testimg::WriteFile(host, Pattern(400, 1));
  ImageWriteFaults = ImageWriteFault{3, 0};
  App.Change->faults.failRestoreWriteAt = 1;
  scripted::ChooseFile(host);
  scripted::DialogCommand(kIdOk);
  scripted::AnswerBox(kIdYes);
  ImportHostFile(scripted::kMainWindow);
  ImageWriteFaults = ImageWriteFault{0, 0};
  App.Change->faults = JournalFault{};
  ASSERT_TRUE(testimg::FileExists(journal));
  const Bytes torn = testimg::ReadFile(path);
  const Bytes hot = testimg::ReadFile(journal);

  HoldElsewhere(kOpenUpdate);
  Outcome out;
  OutcomeClear(&out);
  const ImageTarget target = Target();
  EXPECT_EQ(-1, RecoverImageJournal(&out, &target));
  EXPECT_TRUE(OutcomeHas(&out, kMsgImageBusy));
  ImageFileClose(&other);
  EXPECT_TRUE(BytesEqual(torn, testimg::ReadFile(path)));
  EXPECT_TRUE(BytesEqual(hot, testimg::ReadFile(journal)));

  OutcomeClear(&out);
  EXPECT_EQ(0, RecoverImageJournal(&out, &target));
  EXPECT_TRUE(OutcomeHas(&out, kMsgJournalRecovered));
  EXPECT_TRUE(BytesEqual(original, testimg::ReadFile(path)));
  EXPECT_FALSE(testimg::FileExists(journal));
}

// This process's hold: its own opens share it (reads, a change), everybody else's wait; a shared
// hold lets other readers in and no writer, not even its own.
TEST_F(ImageLockTest, TheProcessHoldIsSharedByItsOwnOpensOnly) {
  for (bool exclusive : {true, false}) {
    SCOPED_TRACE(exclusive ? "exclusive" : "shared");
    const Bytes before = testimg::ReadFile(path);
    ASSERT_EQ(0, ImageHoldBegin(path.c_str(), exclusive));
    EXPECT_TRUE(ImageHeld(path.c_str()));
    uint8_t buffer[256];
    const ImageTarget target = Target();
    EXPECT_EQ(kImageOk, ReadSectors(&target, buffer, 2, 1, 256));
    Outcome out;
    OutcomeClear(&out);
    EXPECT_EQ(exclusive ? 0 : -1, WriteOneSector(&out));
    EXPECT_EQ(exclusive ? kImageFileBusy : 0, ImageFileTryOpen(path.c_str(), kOpenShared, &other));
    ImageFileClose(&other);
    EXPECT_EQ(kImageFileBusy, ImageFileTryOpen(path.c_str(), kOpenUpdate, &other));
    ImageHoldEnd();
    EXPECT_FALSE(ImageHeld(path.c_str()));
    EXPECT_EQ(exclusive, before != testimg::ReadFile(path));
    EXPECT_EQ(0, ImageFileTryOpen(path.c_str(), kOpenUpdate, &other));
    ImageFileClose(&other);
  }
}

// The window plans without holding the image: at the commit, holding it, a change planned from a
// volume that another program has changed since is refused and writes nothing; one planned from
// the volume as it stands, or after this process's own change, goes through.
TEST_F(ImageLockTest, AChangePlannedFromAVolumeChangedElsewhereIsRefused) {
  const ImageTarget target = Target();
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(0, ReadVolumeState(&out, &target, &App));
  // Another program renames a file meanwhile: one byte of the directory.
  Bytes elsewhere = original;
  const long directory =
      testimg::D88DataOffset(original, PhysicalTrack(kDirectoryTrack, kModePc), kDirectorySector);
  ASSERT_GT(directory, 0);
  const size_t nameAt = static_cast<size_t>(directory) + 1;
  elsewhere[nameAt] ^= 0x01;
  testimg::WriteFile(path, elsewhere);
  App.DirectoryBuffer[kEntryBytes * 1] = 0;  // the planned change
  EXPECT_EQ(-1, CommitVolumeChange(&out, &target, &App, 1, false));
  EXPECT_TRUE(OutcomeHas(&out, kMsgVolumeChanged));
  EXPECT_TRUE(BytesEqual(elsewhere, testimg::ReadFile(path)));
  EXPECT_FALSE(ImageChangeActive(App.Change));

  OutcomeClear(&out);
  ASSERT_EQ(0, ReadVolumeState(&out, &target, &App));
  EXPECT_EQ(0, CommitVolumeChange(&out, &target, &App, 1, false));
  // Planned before this process's own change: its own writes are no other program's.
  EXPECT_EQ(0, CommitVolumeChange(&out, &target, &App, 1, true));
  EXPECT_EQ(0, out.count);
}

#ifdef F_OFD_SETLK

// The lock as another program on Linux sees it: fcntl's answer for the lock range, F_UNLCK when
// nothing there conflicts with a write lock.
short LockSeenAt(const std::string& path, off_t start) {
  const int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0);
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = start;
  probe.l_len = kImageLockLength;
  EXPECT_EQ(0, fcntl(fd, F_GETLK, &probe));
  close(fd);
  return probe.l_type;
}
constexpr off_t kLockAt = static_cast<off_t>(kImageLockOffset);

// A classic record lock of this process on the lock range, as Wine's server takes one for a
// LockFileEx of the Windows program: 0, or -1 when it conflicts.
int ClassicLock(int fd, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = kLockAt;
  range.l_len = kImageLockLength;
  return fcntl(fd, F_SETLK, &range);
}

// Each open's lock is a record lock of its kind on the lock range alone, which a program on
// Linux (Wine's server included) finds, and each meets the record locks that Wine takes: a shared
// one lets readers in, an exclusive one nobody. A hold on a file that cannot be written takes the
// shared lock (a descriptor open for reading cannot lock exclusively).
TEST_F(ImageLockTest, TheLockIsARecordLockOnTheLockRangeThatWinesLocksMeet) {
  struct Case {
    ImageOpenMode mode;
    short seen;           // the lock that fcntl finds at the range while the open holds it
    int besideShared;     // the open beside a shared record lock of another program
    int besideExclusive;  // and beside an exclusive one
  };
  const Case cases[] = {
      {kOpenShared, F_RDLCK, 0, kImageFileBusy},
      {kOpenUpdate, F_WRLCK, kImageFileBusy, kImageFileBusy},
      {kOpenReadExclusive, F_RDLCK, 0, kImageFileBusy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    HoldElsewhere(c.mode);
    EXPECT_EQ(c.seen, LockSeenAt(path, kLockAt));
    // Nothing of the image itself is locked, nor the bytes beside the range.
    EXPECT_EQ(F_UNLCK, LockSeenAt(path, 0));
    EXPECT_EQ(F_UNLCK, LockSeenAt(path, kLockAt - 1));
    EXPECT_EQ(F_UNLCK, LockSeenAt(path, kLockAt + kImageLockLength));
    // A classic record lock is dropped when this process closes any descriptor of the file; the
    // image's lock belongs to its open file and stays.
    ImageFile copy{-1};
    ASSERT_EQ(0, ImageFileDuplicate(&other, &copy));
    ImageFileClose(&copy);
    close(open(path.c_str(), O_RDONLY));
    EXPECT_EQ(c.seen, LockSeenAt(path, kLockAt));
    ImageFileClose(&other);
    EXPECT_EQ(F_UNLCK, LockSeenAt(path, kLockAt));

    for (short held : {F_RDLCK, F_WRLCK}) {
      const int fd = open(path.c_str(), O_RDWR);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(0, ClassicLock(fd, held));
      EXPECT_EQ(held == F_RDLCK ? c.besideShared : c.besideExclusive,
                ImageFileTryOpen(path.c_str(), c.mode, &other));
      ImageFileClose(&other);
      close(fd);
    }
    // And the other way round: Wine's server cannot lock what the open holds.
    ASSERT_EQ(0, ImageFileTryOpen(path.c_str(), c.mode, &other));
    const int fd = open(path.c_str(), O_RDWR);
    EXPECT_EQ(c.seen == F_RDLCK ? 0 : -1, ClassicLock(fd, F_RDLCK));
    EXPECT_EQ(-1, ClassicLock(fd, F_WRLCK));
    close(fd);
    ImageFileClose(&other);
  }
  // A file created for a new image or a journal is held alone from its creation.
  ASSERT_EQ(0, ImageFileCreate(temp.Path("new.d88").c_str(), &other));
  EXPECT_EQ(F_WRLCK, LockSeenAt(temp.Path("new.d88"), kLockAt));
}

// An image in a folder and a file that cannot be written is still read, and still held alone as
// far as the file lets its opener: the shared lock when it cannot write (root can).
TEST_F(ImageLockTest, AReadOnlyImageInAReadOnlyFolderIsReadAndHeld) {
  const std::string folder = temp.Path("ro");
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  const std::string image = folder + "/disk.d88";
  testimg::WriteFile(image, original);
  ASSERT_EQ(0, chmod(image.c_str(), 0444));
  ASSERT_EQ(0, chmod(folder.c_str(), 0555));
  const bool root = geteuid() == 0;
  ImageFile file{-1};
  EXPECT_EQ(0, ImageFileOpenRead(image.c_str(), &file));
  EXPECT_EQ(F_RDLCK, LockSeenAt(image, kLockAt));
  ImageFileClose(&file);
  bool writable = !root;
  EXPECT_EQ(0, ImageFileOpenAlone(image.c_str(), &file, &writable));
  EXPECT_EQ(root, writable);
  EXPECT_EQ(root ? F_WRLCK : F_RDLCK, LockSeenAt(image, kLockAt));
  ImageFileClose(&file);
  chmod(folder.c_str(), 0755);
  chmod(image.c_str(), 0644);
}

#endif  // F_OFD_SETLK

}  // namespace
