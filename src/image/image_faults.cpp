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

bool ImageInjectedReadFailure() {
  ImageReadFaults.readsDone++;
  return ImageReadFaults.failReadAt > 0 && ImageReadFaults.readsDone == ImageReadFaults.failReadAt;
}
