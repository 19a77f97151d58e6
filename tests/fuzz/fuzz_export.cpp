// Exporting every row of an arbitrary image, Binary and Ascii. The first byte picks the layout
// and the convention; the rest is the image. A row whose sectors cannot be read gives the two
// messages and writes nothing; otherwise the host file holds the row's length in bytes (Binary)
// or their Ascii conversion, and the image stays untouched.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "flows/app_state.h"
#include "flows/export.h"
#include "flows/open_image.h"
#include "fuzz/fuzz_support.h"
#include "platform/scripted/scripted.h"
#include "texts/texts.h"
#include "transfer/export.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string image = fuzz::LinkedImage("export", {".2d", ".d20", ".d88"});
  static const std::string host = fuzz::HostPath("exported");
  if (size < 1) return 0;
  const char* const extensions[] = {".2d", ".d20", ".d88"};
  const std::string path = image + extensions[data[0] % 3];
  fuzz::WriteImage(image, data + 1, size - 1);

  fuzz::ResetApp();
  App.MachineMode = (data[0] / 3) % 2;
  scripted::ChooseFile(path);
  OpenImageCommand(scripted::kMainWindow);
  if (!App.VolumeLoaded) return 0;

  const std::vector<std::vector<std::string>> rows = scripted::Rows();
  for (int row = 0; row < static_cast<int>(rows.size()); row++) {
    std::vector<uint8_t> binary;
    bool readable = true;
    for (int mode : {kTransferBinary, kTransferAscii}) {
      fuzz::RemoveHost(host);
      scripted::ClearBoxes();
      App.TransferMode = mode;
      scripted::ChooseFile(host);
      ExportSelectedFile(scripted::kMainWindow, row);
      if (!scripted::Boxes().empty()) {
        fuzz::Require(scripted::Boxes().back().text == kMsgExportReadFailed,
                      "an export failed with an unexpected message", scripted::Boxes().back().text);
        fuzz::Require(!fuzz::HostExists(host), "a failed export wrote a file");
        fuzz::Require(mode == kTransferBinary || !readable, "the Ascii read failed alone");
        readable = false;
        continue;
      }
      fuzz::Require(readable, "the Binary read failed alone");
      const std::vector<uint8_t> written = fuzz::ReadHost(host);
      if (mode == kTransferBinary) {
        const unsigned long length = std::strtoul(rows[row][4].substr(0, 4).c_str(), nullptr, 16);
        fuzz::Require(written.size() == length, "Binary export length", rows[row][4]);
        binary = written;
      } else {
        std::vector<uint8_t> expected(2 * binary.size() + 1);
        const long n = ConvertExportText(binary.data(), static_cast<long>(binary.size()),
                                         App.Tables.TBL2, expected.data());
        expected.resize(static_cast<size_t>(n));
        fuzz::Require(written == expected, "Ascii export differs from the converted Binary one");
      }
    }
  }
  const std::vector<uint8_t> after = fuzz::ReadImage(image);
  fuzz::Require(
      after.size() == size - 1 && (size == 1 || std::memcmp(after.data(), data + 1, size - 1) == 0),
      "exporting changed the image");
  return 0;
}
