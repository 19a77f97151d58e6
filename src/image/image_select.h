// Choosing an image file and deciding its layout from its extension.
#pragma once

#include "platform/platform.h"

// The extension of a path's file name, from its last '.' (dot included), at most 255 bytes, by
// the rules of the standard path splitter walked in code page 932 (a trail byte is never '\\',
// '/' or '.'; byte by byte when PathCodePage of image_file.h is UTF-8). Empty when the file name
// has no '.'.
void SplitExtension(const char* path, char* extension, int capacity);
// The base name and extension of a path's file name, concatenated (drive and directory dropped).
void SplitFileName(const char* path, char* name, int capacity);
// ImageFormat for a lower-cased extension, or -1 when the extension is not an image's.
int FormatForExtension(const char* lowerExtension);

// The Open command: file dialog, extension check, then LoadVolume.
void OpenImageCommand(WindowHandle owner);
// Opens the image at `path` exactly as if it had been chosen in the Open dialog (a path named on
// the command line, a dropped file): the path goes into ChosenPath, then the same checks.
void OpenImagePath(WindowHandle owner, const char* path);
// The drive and directory of a path, the last separator included (empty when the path has no
// directory part), by the same code page 932 walk.
void SplitDirectory(const char* path, char* directory, int capacity);
