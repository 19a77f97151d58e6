// Reading an arbitrary file as IMD and as HFE: every track decoded, the whole volume read, and a
// conversion to D88. Each may fail, never crash; a failed conversion leaves no output, a
// successful one an output that reads back, and the source stays untouched.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "image/container.h"
#include "image/disk_model.h"
#include "image/image_file.h"
#include "image/image_select.h"
#include "image/sector_transfer.h"
#include "transfer/convert_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = fuzz::LinkedImage("containers", {".imd", ".hfe"});
  fuzz::WriteImage(image, data, size);
  for (const char* extension : {".imd", ".hfe"}) {
    const std::string path = image + extension;
    fuzz::ResetApp();
    ImageTarget target;
    ImageTargetFor(&target, path.c_str(), ContainerForFormat(FormatForPath(path.c_str())), kModeMz);
    target.change = fuzz::Change();
    static ModelTrack track;
    for (int p = 0; p < kModelTracks; p++) {
      const int read = ImageReadTrack(&target, p, &track);
      fuzz::Require(read <= kTrackRead && read >= kTrackVersion, "track result");
      fuzz::Require(track.count >= 0 && track.count <= kModelSectors, "sector count");
    }
    static uint8_t volume[kTrackCount * kSectorsPerTrack * kSectorBytes];
    const int status = ReadSectors(&target, volume, 0, 1, sizeof volume);
    fuzz::Require(status == kImageOk || status == kImageReadFailed, "read status");

    const std::string output = "/zelvo-memory/converted.d88";
    ImageFileRemove(output.c_str());
    ConvertRequest request{};
    request.sourcePath = path.c_str();
    request.targetPath = output.c_str();
    request.machineMode = kModeMz;
    request.toMode = kModePc;
    request.disk = -1;
    request.replace = true;
    Outcome out;
    OutcomeClear(&out);
    const int converted = ConvertImage(&out, request, nullptr);
    fuzz::Require(converted == 0 || out.count > 0, "a refusal without a message");
    fuzz::Require(ImageFileExists((output + ".new").c_str()) == 0, "a temporary file left behind");
    fuzz::Require(converted == 0 || ImageFileExists(output.c_str()) == 0, "a refused output");
    if (converted == 0) {
      ImageTarget copy;
      ImageTargetFor(&copy, output.c_str(), ContainerForFormat(kFormatD88), kModePc);
      copy.change = fuzz::Change();
      fuzz::Require(ReadSectors(&copy, volume, 0, 1, sizeof volume) == kImageOk,
                    "the converted image does not read");
    }
  }
  const std::vector<uint8_t> after = fuzz::ReadImage(image);
  fuzz::Require(after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0),
                "reading changed the image");
  return 0;
}
