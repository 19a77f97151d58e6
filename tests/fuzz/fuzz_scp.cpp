// Reading an arbitrary file as an SCP flux dump: every track decoded through the PLL and the
// revolutions' vote, the per-track report, the whole volume read and a conversion to D88. Each
// may fail, never crash; the counts of the report add up, and the source stays untouched.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "image/container.h"
#include "image/container_scp.h"
#include "image/disk_model.h"
#include "image/image_file.h"
#include "image/sector_transfer.h"
#include "transfer/convert_image.h"
#include "view/flux_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = fuzz::LinkedImage("scp", {".scp"});
  fuzz::WriteImage(image, data, size);
  const std::string path = image + ".scp";
  fuzz::ResetApp();
  ImageTarget target;
  ImageTargetFor(&target, path.c_str(), &kScpContainer, kModePc);
  target.change = fuzz::Change();
  static ModelTrack track;
  for (int p = 0; p < kModelTracks; p++) {
    const int read = ImageReadTrack(&target, p, &track);
    fuzz::Require(read <= kTrackRead && read >= kTrackVersion, "track result");
    fuzz::Require(track.count >= 0 && track.count <= kModelSectors, "sector count");
  }
  static FluxReport report;
  if (ReadFluxReport(path.c_str(), &report) == 0)
    for (const ScpTrackReport& t : report.tracks)
      fuzz::Require(t.goodFirst + t.recovered + t.bad <= t.found && t.found <= kModelSectors,
                    "the report's counts");
  static char text[32768];
  fuzz::Require(FluxReportText(path.c_str(), text, sizeof text) < static_cast<int>(sizeof text),
                "the report's text");
  static uint8_t volume[kTrackCount * kSectorsPerTrack * kSectorBytes];
  const int status = ReadSectors(&target, volume, 0, 1, sizeof volume);
  fuzz::Require(status == kImageOk || status == kImageReadFailed, "read status");

  const std::string output = "/zelvo-memory/converted.d88";
  ImageFileRemove(output.c_str());
  ConvertRequest request{};
  request.sourcePath = path.c_str();
  request.targetPath = output.c_str();
  request.machineMode = request.toMode = kModePc;
  request.disk = -1;
  request.replace = true;
  Outcome out;
  OutcomeClear(&out);
  const int converted = ConvertImage(&out, request, nullptr);
  fuzz::Require(converted == 0 || out.count > 0, "a refusal without a message");
  fuzz::Require(converted == 0 || ImageFileExists(output.c_str()) == 0, "a refused output");
  const std::vector<uint8_t> after = fuzz::ReadImage(image);
  fuzz::Require(after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0),
                "reading changed the image");
  return 0;
}
