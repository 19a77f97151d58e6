// Image files kept in memory, for tests and fuzzers: the library zelvo_core_memory implements
// image_file.h over them instead of over the disk, with the same rules (exclusive access, reads
// short at the end, writes that grow the file, the fault hooks). Nothing reaches the disk, and
// every open, read and write costs a lookup and a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Makes `path` a file holding `size` bytes of `data`, replacing what it held; 0, or -1 while the
// file is open.
int ImageMemoryPut(const char* path, const void* data, size_t size);
// The bytes of the file at `path`; false when there is none.
bool ImageMemoryGet(const char* path, std::vector<uint8_t>* bytes);
// Makes `link` a second name of the file `target` (created empty when missing), as a symbolic
// link would: a write through either name shows through both.
void ImageMemoryLink(const char* link, const char* target);
// Forgets every file and closes every handle.
void ImageMemoryClear();
