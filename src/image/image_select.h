// The windowless part of choosing an image file: splitting its path, and deciding its format
// from its extension through the table of containers.
#pragma once

// The extension of a path's file name, from its last '.' (dot included), at most 255 bytes, by
// the rules of the standard path splitter walked in code page 932 (a trail byte is never '\\',
// '/' or '.'; byte by byte when PathCodePage of image_file.h is UTF-8). Empty when the file name
// has no '.'.
void SplitExtension(const char* path, char* extension, int capacity);
// The base name and extension of a path's file name, concatenated (drive and directory dropped).
void SplitFileName(const char* path, char* name, int capacity);
// The format (kFormat2D, ...) of a lower-cased extension, or -1 when no container takes it.
int FormatForExtension(const char* lowerExtension);
// The format of a path's extension, lower-cased ('A' to 'Z' only), or -1.
int FormatForPath(const char* path);
// The drive and directory of a path, the last separator included (empty when the path has no
// directory part), by the same code page 932 walk.
void SplitDirectory(const char* path, char* directory, int capacity);
