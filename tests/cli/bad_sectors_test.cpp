// What zelvo says of a dump's bad sectors: check lists them with their owners and fails only when
// something needs them, ls --json marks the damaged file, export writes it as read and fails,
// identify counts them. Nothing is changed.
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace clitest {
namespace {

using nlohmann::json;

using BadSectorsTest = CliTest;

// A PC D88 with GAME (3 sectors from track 2, sector 1), its status bytes set as given.
std::vector<uint8_t> Dump(const std::vector<std::pair<int, uint8_t>>& statuses) {
  testimg::VolumeBuilder volume;
  testimg::FileSpec game;
  game.name = "GAME";
  game.data.assign(600, 0x41);
  game.track = 2;
  game.sector = 1;
  volume.AddFile(game);
  testimg::ImageSpec shape;
  shape.d88 = true;
  shape.machineMode = 1;
  std::vector<uint8_t> image = testimg::BuildImage(volume, shape);
  for (const auto& [index, status] : statuses)
    image[testimg::D88DataOffset(image, index / 16, index % 16 + 1) - 16 + 8] = status;
  return image;
}

TEST_F(BadSectorsTest, CheckLsExportAndIdentifyTellTheFilesABadSectorHurts) {
  const std::string path = Path("dump.d88");
  testimg::WriteFile(path, Dump({{2 * 16 + 1, 0xB0}, {50 * 16 + 6, 0xF0}}));
  const auto before = testimg::ReadFile(path);

  Result r = Zelvo({"check", "--mode", "pc", "dump.d88"});
  EXPECT_EQ(1, r.code) << r.err;
  EXPECT_NE(std::string::npos,
            r.out.find("track 02 sector 02: D88 status B0: data CRC error (file GAME)\n"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("track 32 sector 07: D88 status F0: no data mark (free)"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("1 inconsistency found (and 1 note")) << r.out;
  r = Zelvo({"check", "--json", "--mode", "pc", "dump.d88"});
  const json checked = json::parse(r.out, nullptr, false);
  ASSERT_FALSE(checked.is_discarded()) << r.out;
  EXPECT_EQ(false, checked["clean"]);
  EXPECT_EQ(1, checked["notes"]);
  EXPECT_EQ("file", checked["findings"][0]["owner"]);

  r = Zelvo({"ls", "--json", "--mode", "pc", "dump.d88"});
  const json listed = json::parse(r.out, nullptr, false);
  ASSERT_FALSE(listed.is_discarded()) << r.out;
  EXPECT_EQ(true, listed["files"][0]["damaged"]);
  EXPECT_EQ(1, listed["files"][0]["bad_sectors"]);

  r = Zelvo({"export", "--mode", "pc", "dump.d88", "GAME", "game.bin"});
  EXPECT_EQ(1, r.code);
  EXPECT_NE(std::string::npos,
            r.err.find("GAMEは不良セクタのあるまま書き出しました: トラック02 セクタ02 "
                       "(D88の状態B0: データのCRCエラー)"))
      << r.err;
  EXPECT_EQ(600u, testimg::ReadFile(Path("game.bin")).size()) << "written as read";

  // A conversion writes the copy whole, with the error kept, and fails naming the hurt file.
  r = Zelvo({"convert", "--mode", "pc", "dump.d88", "copy.imd"});
  EXPECT_EQ(1, r.code);
  EXPECT_NE(std::string::npos,
            r.out.find("track 02 sector 02: D88 status B0: data CRC error (file GAME)\n"))
      << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("(free)")) << r.out;
  EXPECT_EQ(1, Zelvo({"check", "--mode", "pc", "copy.imd"}).code);

  r = Zelvo({"identify", "dump.d88"});
  EXPECT_NE(std::string::npos, r.out.find("  sectors: 2 bad, 0 missing\n")) << r.out;
  EXPECT_TRUE(testsupport::BytesEqual(before, testimg::ReadFile(path)));

  // A bad sector in free space alone is a note: the check passes, the file exports cleanly.
  testimg::WriteFile(path, Dump({{50 * 16 + 6, 0xF0}}));
  EXPECT_EQ(0, Zelvo({"check", "--mode", "pc", "dump.d88"}).code);
  EXPECT_EQ(0, Zelvo({"export", "--force", "--mode", "pc", "dump.d88", "GAME", "game.bin"}).code);
}

}  // namespace
}  // namespace clitest
