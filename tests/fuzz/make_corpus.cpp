// Writes the seed corpora of the fuzz targets: images made by the test image builder (sound ones
// and the damaged kinds the program must survive), host files, code files and dialog texts.
// Usage: make_corpus OUTPUT_FOLDER [CODE_FILE]
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/disk_model.h"
#include "image/mfm.h"
#include "support/image_builder.h"
#include "transfer/convert_image.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testimg::BuildImage;
using testimg::FileSpec;
using testimg::ImageSpec;
using testimg::VolumeBuilder;

// Small images keep the fuzzers fast: four physical tracks hold the system area, the directory
// and tracks 2 and 3 under either convention.
constexpr int kSmallTracks = 4;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Pattern(size_t n, int seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; i++) b[i] = static_cast<uint8_t>(i * 7 + seed);
  return b;
}

FileSpec File(const std::string& name, Bytes data, uint8_t type = 1) {
  FileSpec f;
  f.name = name;
  f.type = type;
  f.data = std::move(data);
  return f;
}

// A volume with a few files of the usual kinds in tracks 2 and 3.
VolumeBuilder Populated() {
  VolumeBuilder v;
  v.SetVolumeNumber(7).SetDiskName("FUZZ DISK").SetDate(0x03, 0x12, 0x31).SetFmMark(true);
  v.SetAutoStart("RUN HELLO");
  v.AddFile(File("HELLO", Pattern(300, 1)));
  FileSpec text = File("README.TXT", Text("LINE ONE\rLINE TWO\r"), 2);
  text.lock = 1;
  v.AddFile(text);
  FileSpec swapped = File("ORDER1", Pattern(256, 3), 3);
  swapped.order = 1;
  v.AddFile(swapped);
  v.AddFile(File("EMPTY", {}, 7));
  return v;
}

// Tracks beyond the small image are marked used, so that allocation stays inside it.
VolumeBuilder Small(VolumeBuilder v) {
  v.MarkUsed(kSmallTracks * 16, testimg::kVolumeSectors - kSmallTracks * 16);
  return v;
}

struct Named {
  std::string name;
  bool d88;
  int mode;
  Bytes image;
};

Bytes Image(const VolumeBuilder& v, bool d88, int mode, ImageSpec shape = {}) {
  shape.d88 = d88;
  shape.machineMode = mode;
  if (d88) {
    if (shape.d88Tracks == 84) shape.d88Tracks = kSmallTracks;
  } else if (shape.flatBytes < 0) {
    shape.flatBytes = kSmallTracks * 16 * 256;
  }
  return BuildImage(v, shape);
}

std::vector<Named> Images() {
  std::vector<Named> out;
  for (int mode : {0, 1}) {
    const std::string m = mode == 0 ? "mz" : "pc";
    for (bool d88 : {false, true}) {
      const std::string k = (d88 ? "d88-" : "flat-") + m;
      out.push_back({k + "-blank", d88, mode, Image(Small(VolumeBuilder()), d88, mode)});
      out.push_back({k + "-files", d88, mode, Image(Small(Populated()), d88, mode)});
    }
  }
  // An extended directory (main directory full of empty files, one more in the extension).
  {
    VolumeBuilder v = Small(VolumeBuilder());
    v.SetExdir(3, 8);
    for (int i = 0; i < 65; i++)
      v.AddFile(File("F" + std::to_string(i), i == 64 ? Pattern(40, i) : Bytes{}));
    out.push_back({"d88-pc-exdir", true, 1, Image(v, true, 1)});
    out.push_back({"flat-mz-exdir", false, 0, Image(v, false, 0)});
  }
  // A full disk.
  {
    VolumeBuilder v = Populated();
    v.MarkUsed(32, testimg::kVolumeSectors - 32);
    out.push_back({"flat-pc-full", false, 1, Image(v, false, 1)});
  }
  // Damaged volumes.
  {
    VolumeBuilder v = Small(Populated());
    FileSpec outside = File("OUTSIDE", {}, 1);
    outside.length = 0x4000;
    outside.track = 83;
    outside.sector = 16;
    outside.markUsed = false;
    v.AddFile(outside);
    v.MarkFree(0, 32);
    out.push_back({"flat-pc-run-outside", false, 1, Image(v, false, 1)});
  }
  {
    VolumeBuilder v = Small(Populated());
    v.SetExdir(1, 1, false);
    out.push_back({"d88-mz-exdir-on-directory", true, 0, Image(v, true, 0)});
  }
  {
    VolumeBuilder v = Small(Populated());
    v.MarkFree(32, 16);  // the files' sectors shown free
    out.push_back({"flat-mz-files-free", false, 0, Image(v, false, 0)});
  }
  const VolumeBuilder files = Small(Populated());
  {
    ImageSpec s;
    s.trackOffset[3] = 688;  // physical track 3 on the records of track 0
    out.push_back({"d88-pc-shared-offset", true, 1, Image(files, true, 1, s)});
  }
  {
    ImageSpec s;
    s.sectorCountField[1] = 0;
    s.sectorCountField[2] = 40;
    out.push_back({"d88-mz-counts", true, 0, Image(files, true, 0, s)});
  }
  {
    ImageSpec s;
    s.sectorOrder[0] = {1, 2, 2, 3, 5, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16};
    s.trackOffset[2] = 100;
    s.trackOffset[1] = 0x7FFFFFF0;
    out.push_back({"d88-mz-duplicates-and-wild-offsets", true, 0, Image(files, true, 0, s)});
  }
  {
    ImageSpec s;
    s.d88CutBytes = 688 + 272 * 20 + 100;
    out.push_back({"d88-pc-cut", true, 1, Image(files, true, 1, s)});
  }
  {
    ImageSpec s;
    s.flatBytes = 16 * 256 * 2 + 100;
    out.push_back({"flat-pc-odd-size", false, 1, Image(files, false, 1, s)});
  }
  out.push_back({"d88-header-only", true, 1, Bytes(688, 0)});
  out.push_back({"empty", false, 1, Bytes()});
  return out;
}

void Write(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The attribute target's input: flags, slot count, directory, then the seven texts.
Bytes AttributeInput(uint8_t flags, int count, const Bytes& directory,
                     const std::vector<std::string>& texts) {
  Bytes b = {flags, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
             static_cast<uint8_t>(directory.size()), static_cast<uint8_t>(directory.size() >> 8)};
  b.insert(b.end(), directory.begin(), directory.end());
  for (const std::string& t : texts) {
    b.insert(b.end(), t.begin(), t.end());
    b.push_back(0);
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [CODE_FILE]\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  int written = 0;
  auto put = [&](const std::string& target, const std::string& name, const Bytes& bytes) {
    Write(root / target / name, bytes);
    written++;
  };

  const char kHost[] = "HELLO FROM THE HOST\r\nSECOND LINE\r\n\0TAIL\r";
  const Bytes host(kHost, kHost + sizeof kHost - 1);
  // A D88 file of two disks, one after another.
  Bytes twoDisks;
  int disks = 0;
  for (const Named& n : Images())
    if (n.d88 && disks < 2) {
      twoDisks = Concat({twoDisks, n.image});
      disks++;
    }
  put("fuzz_open", "two-disks", twoDisks);
  for (const Named& n : Images()) {
    put("fuzz_open", n.name, n.image);
    const uint8_t layout = static_cast<uint8_t>((n.d88 ? 2 : 0) + 3 * n.mode);
    put("fuzz_export", n.name, Concat({{layout}, n.image}));
    for (int transfer : {0, 1}) {
      const uint8_t flags = static_cast<uint8_t>(layout + 6 * transfer);
      const Bytes h = transfer ? host : Pattern(600, 5);
      const Bytes length = {static_cast<uint8_t>(h.size()), static_cast<uint8_t>(h.size() >> 8)};
      put("fuzz_import", n.name + (transfer ? "-ascii" : "-binary"),
          Concat({{flags}, length, h, n.image}));
    }
  }

  if (argc >= 3) {
    std::ifstream in(argv[2], std::ios::binary);
    put("fuzz_codes", "shipped", Bytes(std::istreambuf_iterator<char>(in), {}));
  }
  std::string section;
  for (int k = 0; k < 16; k++) section += std::string(16, static_cast<char>('a' + k)) + "\n";
  put("fuzz_codes", "only-tbl3", Text("# comment\n\nTBL3\n" + section));
  put("fuzz_codes", "all-crlf",
      Text("TBL1 display\r\n" + section + section + "TBL2\r\n" + section + "TBL3\r\n" + section));
  put("fuzz_codes", "tbl3-first", Text("TBL3\n" + section + "TBL1\n" + section));
  put("fuzz_codes", "cut-short", Text("TBL2\n" + section + "TBL3\nabcdefghijklmnop\nqrst"));
  put("fuzz_codes", "eof-mark", Text("TBL3\nabc\x1a" + section));

  // Journals: flag byte 3 (checksum, commit mark and sizes put right by the target), then the
  // header, the region table and the original bytes, and 12 bytes for checksum and mark.
  auto journal = [](const std::vector<std::pair<uint32_t, uint32_t>>& regions) {
    Bytes b = {3, 'Z', 'L', 'V', 'J', 'R', 'N', 'L', 0, 1, 0, 0, 0};
    b.resize(1 + 28, 0);
    for (int i = 0; i < 4; i++) b.push_back(static_cast<uint8_t>(regions.size() >> (8 * i)));
    for (const auto& [offset, length] : regions)
      for (uint32_t v : {offset, length})
        for (int i = 0; i < 4; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    for (const auto& region : regions) b.resize(b.size() + region.second, 0xA5);
    b.resize(b.size() + 12, 0);
    return b;
  };
  // IMD and HFE: small images of two cylinders, converted by the core from a builder image.
  {
    Bytes raw = Pattern(4 * 16 * 256, 9);
    for (int i = 0; i < 256; i++) raw[3 * 256 + i] = 0xE5;  // a sector IMD compresses
    const fs::path d88 = root / "containers-source.d88";
    Write(d88, testimg::WrapInD88(raw));
    for (const char* extension : {".imd", ".hfe"}) {
      const fs::path converted = root / (std::string("containers-seed") + extension);
      ConvertRequest request{};
      request.sourcePath = d88.c_str();
      request.targetPath = converted.c_str();
      request.toMode = request.machineMode = 1;
      request.disk = -1;
      request.replace = true;
      if (ConvertImage(nullptr, request, nullptr) != 0) return 1;
      std::ifstream in(converted, std::ios::binary);
      put("fuzz_containers", std::string("small") + extension,
          Bytes(std::istreambuf_iterator<char>(in), {}));
      in.close();
      fs::remove(converted);
    }
    fs::remove(d88);
  }
  // SCP: one track of two sectors, its revolution cut after them to keep the seed small.
  {
    ModelTrack track{};
    track.count = 2;
    for (int i = 0; i < 2; i++) track.sectors[i] = {0, 0, static_cast<uint8_t>(i + 1), 1, 0, 0, {}};
    static uint8_t cells[kMfmCellBytes];
    if (MfmEncodeTrack(&track, cells) != 0) return 1;
    Bytes flux;
    int last = 0;
    for (int i = 0; i < 900 * 16; i++)
      if (cells[i >> 3] >> (i & 7) & 1) {
        const int interval = (i - last) * 80;  // 2 µs cells, 25 ns ticks
        flux.push_back(static_cast<uint8_t>(interval >> 8));
        flux.push_back(static_cast<uint8_t>(interval));
        last = i;
      }
    Bytes scp(0x10 + 4 * 168, 0);
    scp[0] = 'S', scp[1] = 'C', scp[2] = 'P', scp[5] = 1, scp[8] = 1;
    const uint32_t at = static_cast<uint32_t>(scp.size());
    for (int i = 0; i < 4; i++) scp[0x10 + i] = static_cast<uint8_t>(at >> (8 * i));
    for (uint32_t v : {uint32_t{'T' | 'R' << 8 | 'K' << 16}, 8000000u,
                       static_cast<uint32_t>(flux.size() / 2), 16u})
      for (int i = 0; i < 4; i++) scp.push_back(static_cast<uint8_t>(v >> (8 * i)));
    scp.insert(scp.end(), flux.begin(), flux.end());
    put("fuzz_scp", "one-track", scp);
  }
  put("fuzz_journal", "one-sector", journal({{256, 256}}));
  put("fuzz_journal", "records", journal({{688, 272}, {960, 272}, {3000, 272}}));
  put("fuzz_journal", "beyond-the-end", journal({{4000, 256}}));
  Bytes unmarked = journal({{0, 16}});
  unmarked[0] = 2;
  put("fuzz_journal", "no-mark", unmarked);

  const std::vector<std::string> defaults = {"HOST.BIN", "OBJ", "1500", "0000", "03", "01", "05"};
  put("fuzz_attributes", "defaults", AttributeInput(0, 64, {}, defaults));
  Bytes directory(64, 0);
  directory[0] = 1;
  for (int i = 0; i < 16; i++) directory[1 + i] = i < 8 ? "host.bin"[i] : 0x0D;
  put("fuzz_attributes", "duplicate", AttributeInput(1, 128, directory, defaults));
  put("fuzz_attributes", "odd-values",
      AttributeInput(0, 200, directory, {"a.b.c", "RDD x", "12G4", " 0x1", "3", "13", "1F"}));
  put("fuzz_attributes", "no-type",
      AttributeInput(2, -5, {}, {"", "", "ffff", "FFFF", "99", "0", "-1"}));
  put("fuzz_attributes", "bad-name",
      AttributeInput(1, 64, {}, {"HELLO WORLD", "OBJ", "1500", "0000", "03", "01", "05"}));
  put("fuzz_attributes", "long-name",
      AttributeInput(0, 64, {}, {"ABCDEFGHIJKLMNOPQ", "OBJ", "1500", "0000", "03", "01", "05"}));
  // Deleted entries: a populated volume with two files deleted, one of them overwritten since.
  for (int exdir : {0, 1}) {
    VolumeBuilder v = Populated();
    if (exdir) v.SetExdir(60, 1);
    v.Entry(0)[0] = 0;
    v.Entry(2)[0] = 0;
    v.MarkFree(v.Entry(0)[30] * 16 + v.Entry(0)[31] - 1, 2);
    const Bytes area(v.SystemArea(), v.SystemArea() + 512);
    const Bytes directory(v.Directory(), v.Directory() + 2048);
    put("fuzz_deleted", exdir ? "exdir" : "main",
        Concat({{static_cast<uint8_t>(exdir)},
                {static_cast<uint8_t>(exdir ? 60 : 0xFF)},
                area,
                directory}));
  }
  // Manifests of zelvo pack: a hand-written one, one as unpack writes it, one refused.
  auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
  put("fuzz_manifest", "minimal",
      text(R"({"files": [{"file": "a.bin", "name": "GAME", "start": "1200", "exec": "0x1200"}]})"));
  put("fuzz_manifest", "unpacked",
      text(
          R"({"zelvo-disk": 1, "source": {"container": ".d88", "layout": "D88", "convention": "mz",)"
          R"( "disk": 0}, "container_name": "DISK", "volume": {"name": "DISK", "number": 3,)"
          R"( "date": "24/05/01", "fm_mark": true, "auto_start": "RUN", "exdir": true,)"
          R"( "exdir_bytes": "0201"}, "boot": "zelvo-boot.bin", "files": [{"slot": 0, "file":)"
          R"( "A.OBJ", "name": "A", "name_bytes": "410d0d0d0d0d0d0d0d0d0d0d0d0d0d0d", "type":)"
          R"( "OBJ", "lock": true, "start": "1200", "exec": "1200", "date": "24/05/01",)"
          R"( "length": 10, "track": 2, "sector": 9, "order": 1, "tail": "ff00"},)"
          R"( {"slot": 5, "raw": "0041424344450d0d0d0d0d0d0d0d0d0d0d0d000000000000000000000000021e"}]})"));
  put("fuzz_manifest", "refused", text(R"({"files": [{"file": "a.bin", "type": "EXE"}]})"));
  std::fprintf(stderr, "%d seeds written to %s\n", written, root.string().c_str());
  return 0;
}
