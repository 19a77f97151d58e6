#include "flows/new_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/volume_load.h"
#include "image/change_history.h"
#include "image/container_d88.h"
#include "image/image_file.h"
#include "support/image_builder.h"
#include "support/test_support.h"
#include "texts/texts.h"
#include "transfer/new_image.h"
#include "volume/format.h"

namespace {

using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;
using testsupport::Pattern;

struct LayoutCase {
  const char* name;
  int format;
  bool d88;
};
const LayoutCase kLayouts[] = {{"new.2d", kFormat2D, false},
                               {"new.d20", kFormatD20, true},
                               {"new.d88", kFormatD88, true},
                               {"new.d77", kFormatD88, true}};

class NewImageTest : public testsupport::AppTest {
 protected:
  NewImageRequest Request(const std::string& path, const LayoutCase& layout, int mode) {
    NewImageRequest request = {};
    path_ = path;
    request.path = path_.c_str();
    request.imageFormat = layout.format;
    request.machineMode = mode;
    request.volume.date[0] = 0x24;
    request.volume.date[1] = 0x12;
    request.volume.date[2] = 0x31;
    return request;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
  std::string path_;
};

ImageSpec Shape(const LayoutCase& layout, int mode, const std::string& diskName) {
  ImageSpec shape;
  shape.d88 = layout.d88;
  shape.machineMode = mode;
  shape.d88Name = diskName.substr(0, 16);
  return shape;
}

// Made like another volume: its tracks 0 and 1 (boot sector, auto start, FM mark, the rest of the
// system area) with the bit table reset and the directory emptied; its files stay behind.
TEST_F(NewImageTest, LikeAnotherImageCopiesTracksZeroAndOne) {
  VolumeBuilder source;
  source.SetExdir(5, 1).SetVolumeNumber(9).SetDiskName("SYSTEM").SetFmMark(true).SetAutoStart(
      "RUN");
  std::memcpy(source.Sector(0, 1), Pattern(256, 7).data(), 256);    // boot sector
  std::memcpy(source.Sector(1, 9), Pattern(2048, 8).data(), 2048);  // after the directory
  source.SystemArea()[300] = 0x5A;
  source.AddFile(FileSpec{.name = "PROG", .data = Pattern(3000, 9)});
  const LayoutCase like = kLayouts[1];
  const std::string likePath = temp.Path("system.d20");
  testimg::WriteFile(likePath, testimg::BuildImage(source, Shape(like, kModeMz, "SYS")));

  NewImageRequest request = Request(temp.Path("copy.2d"), kLayouts[0], kModeMz);
  request.likePath = likePath.c_str();
  request.likeFormat = like.format;
  request.likeMode = kModeMz;
  request.volume.exdir = true;
  ASSERT_EQ(CreateNewImage(scripted::kMainWindow, request), 0);

  VolumeBuilder expected;
  std::memcpy(expected.bytes.data(), source.bytes.data(), 2 * 16 * 256);
  std::memset(expected.SystemArea(), 0, 174);
  std::memset(expected.Directory(), 0, 2048);
  expected.MarkUsed(0, 32)
      .SetExdir(2, 1)
      .SetVolumeNumber(0)
      .SetDate(0x24, 0x12, 0x31)
      .SetDiskName("");
  EXPECT_TRUE(
      testsupport::BytesEqual(testimg::BuildImage(expected, Shape(kLayouts[0], kModeMz, "")),
                              testimg::ReadFile(request.path)));
}

TEST_F(NewImageTest, AnExistingFileIsReplacedOnlyWhenAsked) {
  const std::string path = temp.Path("old.d88");
  const std::vector<uint8_t> old = Pattern(1000, 3);
  testimg::WriteFile(path, old);
  NewImageRequest request = Request(path, kLayouts[2], kModeMz);
  EXPECT_EQ(CreateNewImage(scripted::kMainWindow, request), -1);
  EXPECT_TRUE(testsupport::BytesEqual(old, testimg::ReadFile(path)));
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_NE(scripted::Boxes()[0].text.find(path), std::string::npos);
  EXPECT_EQ(Files(), std::vector<std::string>{"old.d88"});

  request.replace = true;
  ASSERT_EQ(CreateNewImage(scripted::kMainWindow, request), 0);
  EXPECT_EQ(testimg::ReadFile(path).size(), static_cast<size_t>(688 + 84 * 16 * 272));
}

// A new image is made through the record's change but is no step of its history: the open
// image's undo stays as it was (the page makes new images beside the one it has open).
TEST_F(NewImageTest, ANewImageIsNoStepOfTheRecordsHistory) {
  ChangeHistory* history = App.History;
  const ImageRegion region{0, 4};
  const uint8_t before[4] = {1, 2, 3, 4}, after[4] = {5, 6, 7, 8};
  ChangeHistoryRecord(history, &region, 1, before, after, 4, 4);
  ASSERT_EQ(history->changeCount, 1);
  NewImageRequest request = Request(temp.Path("made.2d"), kLayouts[0], kModeMz);
  request.change = App.Change;
  Outcome out;
  OutcomeClear(&out);
  ASSERT_EQ(MakeNewImage(&out, request), 0);
  EXPECT_EQ(history->changeCount, 1);
  EXPECT_EQ(history->applied, 1);
  EXPECT_EQ(App.Change->history, history);
}

TEST_F(NewImageTest, AFailedWriteLeavesNothingBehindAndAppAsItWas) {
  std::snprintf(App.ImagePath, sizeof App.ImagePath, "%s", "current.d88");
  App.ImageFormat = kFormatD88;
  App.MachineMode = kModePc;
  ImageWriteFaults = {3, 0};
  NewImageRequest request = Request(temp.Path("fails.2d"), kLayouts[0], kModeMz);
  EXPECT_EQ(CreateNewImage(scripted::kMainWindow, request), -1);
  ImageWriteFaults = {0, 0};
  EXPECT_TRUE(Files().empty());
  EXPECT_STREQ(App.ImagePath, "current.d88");
  EXPECT_EQ(App.ImageFormat, kFormatD88);
  EXPECT_EQ(App.MachineMode, kModePc);
}

// The header's disk name holds 16 bytes and a 0; a double-byte character that would not fit
// whole stays out.
TEST(D88BuildHeader, DiskNameIsCutToWholeCharacters) {
  const struct {
    const char* name;
    const char* stored;
  } cases[] = {
      {"", ""},
      {"SIXTEEN BYTES...", "SIXTEEN BYTES..."},
      {"SEVENTEEN BYTES..", "SEVENTEEN BYTES."},
      {"FIFTEEN BYTES..\x83\x41", "FIFTEEN BYTES.."},
      {"FOURTEEN BYTE\x83\x41", "FOURTEEN BYTE\x83\x41"},
  };
  for (const auto& c : cases) {
    uint8_t header[688];
    std::memset(header, 0xEE, sizeof header);
    D88BuildHeader(header, c.name);
    EXPECT_STREQ(reinterpret_cast<const char*>(header), c.stored) << c.name;
    for (size_t i = std::strlen(c.stored); i < 26; i++) EXPECT_EQ(header[i], 0) << c.name << i;
    EXPECT_EQ(header[26], 0x00);  // not write protected
    EXPECT_EQ(header[27], 0x00);  // 2D
    EXPECT_EQ(header[28] | header[29] << 8 | header[30] << 16, 688 + 84 * 16 * 272);
    EXPECT_EQ(header[32 + 4 * 84], 0);  // no track 84
  }
}

TEST(CheckNewVolumeTexts, Table) {
  struct Case {
    const char* name;
    const char* number;
    const char* year;
    const char* month;
    const char* day;
    const char* refusal;  // null: accepted
  };
  const Case cases[] = {
      {"", "0", "00", "01", "01", nullptr},
      {"123456789012345678901234567", "65535", "99", "12", "31", nullptr},
      {"1234567890123456789012345678", "0", "24", "01", "01", kMsgBadDiskName},
      {"", "65536", "24", "01", "01", kMsgBadVolumeNumber},
      {"", "", "24", "01", "01", kMsgBadVolumeNumber},
      {"", "-1", "24", "01", "01", kMsgBadVolumeNumber},
      {"", "1", "2024", "01", "01", kMsgBadYear},
      {"", "1", "24", "13", "01", kMsgBadMonth},
      {"", "1", "24", "0", "01", kMsgBadMonth},
      {"", "1", "24", "12", "32", kMsgBadDay},
      {"", "1", "24", "12", "x", kMsgBadDay},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.number) + " " + c.year + "/" + c.month + "/" + c.day);
    NewVolumeTexts texts = {};
    std::strcpy(texts.diskName, c.name);
    std::strcpy(texts.volumeNumber, c.number);
    std::strcpy(texts.year, c.year);
    std::strcpy(texts.month, c.month);
    std::strcpy(texts.day, c.day);
    FormatOptions options;
    const char* refusal = nullptr;
    const int result = CheckNewVolumeTexts(texts, &options, &refusal);
    if (c.refusal) {
      EXPECT_EQ(result, -1);
      EXPECT_STREQ(refusal, c.refusal);
    } else {
      EXPECT_EQ(result, 0);
    }
  }
  NewVolumeTexts texts = {"NAME", "258", "7", "9", "30", true};
  FormatOptions options;
  const char* refusal = nullptr;
  ASSERT_EQ(CheckNewVolumeTexts(texts, &options, &refusal), 0);
  EXPECT_EQ(options.volumeNumber, 258u);
  EXPECT_EQ(options.date[0], 0x07);
  EXPECT_EQ(options.date[1], 0x09);
  EXPECT_EQ(options.date[2], 0x30);
  EXPECT_STREQ(options.diskName, "NAME");
  EXPECT_TRUE(options.exdir);
}

// A typed disk name in the volume's characters, through the shipped code table.
TEST(DiskNameInTable, FullWidthToTheTablesCodesAndRefusals) {
  const CodeTables tables = testsupport::ShippedTables();
  struct Case {
    const char* typed;
    const char* want;     // the stored bytes
    int result;           // 0, -1 too long, -2 a character the table lacks
    const char* lacking;  // for -2
  } cases[] = {
      {"NAME 1", "NAME 1", 0, nullptr},
      {"\x82\x60\x82\x61\x82\x50\x81\x40\x81\x5B", "AB1 \xB0", 0, nullptr},  // ＡＢ１　ー
      // ゲーム ディスク: voiced katakana as the base and the mark
      {"\x83\x51\x81\x5B\x83\x80 \x83\x66\x83\x42\x83\x58\x83\x4E",
       "\xB9\xDE\xB0\xD1 \xC3\xDE\xA8\xBD\xB8", 0, nullptr},
      {"\x83\x70\x83\x94\x83\x7C", "\xCA\xDF\xB3\xDE\xCE\xDF", 0, nullptr},  // パヴポ
      {"\xB9\xDE", "\xB9\xDE", 0, nullptr},                                  // ｹﾞ as typed
      {"A\x8A\xBF", "A", -2, "\x8A\xBF"},                                    // 漢
      {"\x82\xA0", "", -2, "\x82\xA0"},                                      // あ
      {"1234567890123456789012345678", "123456789012345678901234567", -1, nullptr},
      {"\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60\x82\x60"
       "\x82\x60\x82\x60\x82\x60\x82\x60",
       "AAAAAAAAAAAAAA", 0, nullptr},  // 28 typed bytes, 14 stored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    char name[kSysDiskNameMax + 1];
    char lacking[3] = "";
    EXPECT_EQ(DiskNameInTable(c.typed, tables.TBL1, name, sizeof name, lacking), c.result);
    if (c.result == -2)
      EXPECT_STREQ(lacking, c.lacking);
    else
      EXPECT_STREQ(name, c.want);
  }
  // Without a table the name is taken as typed.
  char name[kSysDiskNameMax + 1];
  EXPECT_EQ(DiskNameInTable("\x82\xA0", nullptr, name, sizeof name, nullptr), 0);
  EXPECT_STREQ(name, "\x82\xA0");
  // The check refuses with the character, said in both languages.
  NewVolumeTexts texts = {"\x8A\xBF", "0", "24", "01", "01", false};
  texts.tbl1 = tables.TBL1;
  FormatOptions options;
  const char* refusal = nullptr;
  char lacking[3] = "";
  ASSERT_EQ(CheckNewVolumeTexts(texts, &options, &refusal, lacking), -1);
  EXPECT_EQ(refusal, kMsgDiskNameNotInTable);
  Outcome out;
  OutcomeClear(&out);
  SayNewVolumeRefusal(&out, refusal, lacking);
  EXPECT_STREQ(OutcomeText(&out, 0),
               "\x83\x66\x83\x42\x83\x58\x83\x4E\x96\xBC\x82\xCC\x81\x75\x8A\xBF"
               "\x81\x76\x82\xCD\x83\x52\x81\x5B\x83\x68\x95\x5C\x82\xC9\x82\xA0"
               "\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42");
  EXPECT_STREQ(OutcomeTextEn(&out, 0), "The disk name's \"\x8A\xBF\" is not in the code table.");
}

// The New command: save dialog, the volume dialog, then the new image is open.
TEST_F(NewImageTest, CommandCreatesAndOpensTheImage) {
  const std::string path = temp.Path("made.D88");
  App.MachineMode = kModePc;
  scripted::ChooseFile(path);
  scripted::DialogSetText(kCtlNewDiskName, "WORK");
  scripted::DialogSetText(kCtlNewVolumeNumber, "7");
  scripted::DialogCheck(kCtlNewExdir, true);
  scripted::DialogCommand(kIdOk);
  NewImageCommand(scripted::kMainWindow);
  EXPECT_EQ(scripted::LastDialogResource(), kNewImageDialogId);
  EXPECT_EQ(scripted::DialogInitialTexts().at(kCtlNewYear), "03");  // the scripted date 01/05/03
  ASSERT_EQ(App.VolumeLoaded, 1);
  EXPECT_STREQ(App.ImagePath, path.c_str());
  EXPECT_EQ(App.ImageFormat, kFormatD88);
  EXPECT_EQ(App.ExdirPresent, 1);
  VolumeBuilder expected;
  expected.SetDate(0x03, 0x01, 0x05).SetDiskName("WORK").SetVolumeNumber(7).SetExdir(2, 1);
  EXPECT_TRUE(testsupport::BytesEqual(
      testimg::BuildImage(expected, Shape(kLayouts[2], kModePc, "WORK")), testimg::ReadFile(path)));
}

TEST_F(NewImageTest, CommandRefusesAnUnknownExtensionAndCancelWritesNothing) {
  scripted::ChooseFile(temp.Path("disk.img"));
  NewImageCommand(scripted::kMainWindow);
  ASSERT_EQ(scripted::Boxes().size(), 1u);
  EXPECT_EQ(scripted::Boxes()[0].text, kMsgBadExtension);
  scripted::ChooseFile(temp.Path("disk.2d"));
  NewImageCommand(scripted::kMainWindow);  // the volume dialog is cancelled
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(App.VolumeLoaded, 0);
}

}  // namespace
