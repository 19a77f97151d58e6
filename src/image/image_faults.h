// The test hooks of the image file layer (ImageWriteFaults, ImageReadFaults in image_file.h),
// shared by the file on disk and the file in memory.
#pragma once

#include <cstdint>

// Counts an image write and tells whether the hook wants it to fail.
bool ImageInjectedWriteFailure();
// Counts an image read of [offset, offset + count) and tells whether the hook wants it to fail.
bool ImageInjectedReadFailure(uint32_t offset, unsigned count);
