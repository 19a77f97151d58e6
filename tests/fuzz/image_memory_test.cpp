// The in-memory image files behave as the files on the disk do where the core relies on it:
// exclusive access, short reads at the end, writes that grow the file, read-only handles, the
// fault hooks, creation, renaming and removal, and names that share one file.
#include "image/image_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/image_file.h"
#include "image/image_lock.h"

namespace {

class ImageMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ImageMemoryClear();
    ImageWriteFaults = ImageWriteFault{0, 0};
    ImageReadFaults = ImageReadFault{0, 0, 0};
  }
  std::vector<uint8_t> Get(const char* path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ImageMemoryGet(path, &bytes)) << path;
    return bytes;
  }
};

TEST_F(ImageMemoryTest, ReadsWritesAndHoldsLikeAFile) {
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5};
  ASSERT_EQ(ImageMemoryPut("a.d88", data.data(), data.size()), 0);
  ImageFile missing{};
  EXPECT_EQ(ImageFileOpenRead("none.d88", &missing), -1);
  EXPECT_EQ(missing.handle, -1);

  ImageFile reader{};
  ASSERT_EQ(ImageFileOpenRead("a.d88", &reader), 0);
  EXPECT_EQ(ImageFileSize(&reader), 5);
  uint8_t buffer[8] = {};
  unsigned got = 99;
  EXPECT_EQ(ImageFileReadAt(&reader, 3, buffer, 8, &got), 0);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buffer[0], 4);
  EXPECT_EQ(ImageFileReadAt(&reader, 9, buffer, 8, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(ImageFileWriteAt(&reader, 0, buffer, 1), -1);  // opened for reading
  ImageFile second{};
  EXPECT_EQ(ImageFileOpenUpdate("a.d88", &second), kImageFileBusy);  // held by a reader
  EXPECT_EQ(ImageMemoryPut("a.d88", data.data(), 1), -1);
  ImageFileClose(&reader);
  EXPECT_EQ(reader.handle, -1);

  ImageFile writer{};
  ASSERT_EQ(ImageFileOpenUpdate("a.d88", &writer), 0);
  const uint8_t more[2] = {8, 9};
  EXPECT_EQ(ImageFileWriteAt(&writer, 7, more, 2), 0);  // past the end: the gap is zeros
  EXPECT_EQ(ImageFileSync(&writer), 0);
  ImageFileClose(&writer);
  EXPECT_EQ(Get("a.d88"), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 8, 9}));
}

// The locks as the disk's: readers share, a writer is alone, a duplicate shares its original's
// lock, and a wait passes on the file's own clock (no time passes for the fuzzers).
TEST_F(ImageMemoryTest, LocksShareReadersAndWaitOnTheirOwnClock) {
  const std::vector<uint8_t> data = {1, 2, 3};
  ASSERT_EQ(ImageMemoryPut("l.d88", data.data(), data.size()), 0);
  struct Case {
    ImageOpenMode first;
    ImageOpenMode second;
    int expected;
  };
  const Case cases[] = {
      {kOpenShared, kOpenShared, 0},
      {kOpenShared, kOpenUpdate, kImageFileBusy},
      {kOpenUpdate, kOpenShared, kImageFileBusy},
      {kOpenReadExclusive, kOpenShared, kImageFileBusy},
      {kOpenUpdate, kOpenReadExclusive, kImageFileBusy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.first) * 10 + static_cast<int>(c.second));
    ImageFile a{-1}, b{-1};
    ASSERT_EQ(ImageFileTryOpen("l.d88", c.first, &a), 0);
    EXPECT_EQ(ImageFileTryOpen("l.d88", c.second, &b), c.expected);
    ImageFileClose(&b);
    ImageFileClose(&a);
  }
  ImageFile writer{-1}, copy{-1}, other{-1};
  ASSERT_EQ(ImageFileTryOpen("l.d88", kOpenUpdate, &writer), 0);
  ASSERT_EQ(ImageFileDuplicate(&writer, &copy), 0);
  ImageFileClose(&copy);  // the lock stays with the original
  const uint64_t before = ImageFileClockMs();
  EXPECT_EQ(ImageFileOpenRead("l.d88", &other), kImageFileBusy);
  EXPECT_GE(ImageFileClockMs() - before, uint64_t{kImageWaitDefaultMs});
  ImageFileClose(&writer);
  EXPECT_EQ(ImageFileOpenRead("l.d88", &other), 0);
  ImageFileClose(&other);
}

TEST_F(ImageMemoryTest, FaultHooksFailTheCountedCallWithoutWriting) {
  const std::vector<uint8_t> data(16, 0xAA);
  ImageMemoryPut("f.2d", data.data(), data.size());
  ImageFile file{};
  ASSERT_EQ(ImageFileOpenUpdate("f.2d", &file), 0);
  const uint8_t zero[4] = {};
  ImageWriteFaults.failWriteAt = 2;
  EXPECT_EQ(ImageFileWriteAt(&file, 0, zero, 4), 0);
  EXPECT_EQ(ImageFileWriteAt(&file, 8, zero, 4), -1);
  EXPECT_EQ(ImageWriteFaults.writesDone, 2);
  ImageReadFaults.failReadAt = 1;
  uint8_t buffer[4];
  unsigned got = 7;
  EXPECT_EQ(ImageFileReadAt(&file, 0, buffer, 4, &got), -1);
  EXPECT_EQ(got, 0u);
  ImageFileClose(&file);
  std::vector<uint8_t> expected(16, 0xAA);
  std::fill(expected.begin(), expected.begin() + 4, 0);
  EXPECT_EQ(Get("f.2d"), expected);
}

TEST_F(ImageMemoryTest, CreateRenameRemoveAndLinkedNames) {
  ImageFile file{};
  ASSERT_EQ(ImageFileCreate("new.tmp", &file), 0);
  ImageFile again{};
  EXPECT_EQ(ImageFileCreate("new.tmp", &again), -1);
  const uint8_t byte = 0x5A;
  EXPECT_EQ(ImageFileWriteAt(&file, 0, &byte, 1), 0);
  ImageFileClose(&file);
  EXPECT_EQ(ImageFileExists("new.tmp"), 1);

  const uint8_t old[3] = {1, 1, 1};
  ImageMemoryPut("disk.d88", old, 3);
  EXPECT_EQ(ImageFileRename("new.tmp", "disk.d88"), 0);  // replaces
  EXPECT_EQ(ImageFileExists("new.tmp"), 0);
  EXPECT_EQ(Get("disk.d88"), std::vector<uint8_t>{0x5A});
  EXPECT_EQ(ImageFileRename("gone", "x"), -1);
  EXPECT_EQ(ImageFileRemove("disk.d88"), 0);
  EXPECT_EQ(ImageFileExists("disk.d88"), 0);
  EXPECT_EQ(ImageFileRemove("disk.d88"), 0);  // nothing there: nothing to do

  ImageMemoryLink("img.2d", "img");
  ImageMemoryLink("img.d88", "img");
  ImageMemoryPut("img", old, 3);
  ImageFile through{};
  ASSERT_EQ(ImageFileOpenUpdate("img.d88", &through), 0);
  // One file, held through another name.
  EXPECT_EQ(ImageFileOpenRead("img.2d", &again), kImageFileBusy);
  EXPECT_EQ(ImageFileWriteAt(&through, 1, &byte, 1), 0);
  ImageFileClose(&through);
  EXPECT_EQ(Get("img.2d"), (std::vector<uint8_t>{1, 0x5A, 1}));
}

}  // namespace
