#include "image/image_faults.h"

#include "image/image_file.h"

ImageWriteFault ImageWriteFaults;
ImageReadFault ImageReadFaults;
unsigned PathCodePage = 0;

bool ImageInjectedWriteFailure() {
  ImageWriteFaults.writesDone++;
  return ImageWriteFaults.failWriteAt > 0 &&
         ImageWriteFaults.writesDone == ImageWriteFaults.failWriteAt;
}

bool ImageInjectedReadFailure(uint32_t offset, unsigned count) {
  ImageReadFaults.readsDone++;
  const int64_t covered = ImageReadFaults.failReadCovering;
  if (covered > 0 && offset <= covered && covered < static_cast<int64_t>(offset) + count)
    return true;
  return ImageReadFaults.failReadAt > 0 && ImageReadFaults.readsDone == ImageReadFaults.failReadAt;
}
