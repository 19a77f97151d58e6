// Saves what a window shows on the screen as a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top row first, three bytes per pixel
  size_t DistinctColours() const;
};

// Copies the window's rectangle (frame included) from the screen.
Capture CaptureWindow(HWND window);
// Encodes as an 8-bit RGB PNG (stored deflate blocks); true when the file was written.
bool WritePng(const Capture& capture, const std::string& path);

}  // namespace gui
