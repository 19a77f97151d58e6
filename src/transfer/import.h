// Importing a host file into the loaded volume as a new file.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr int kImportBufferBytes = 257 * 256;  // 65537 converted bytes and the 0xFF tail

void ImportHostFile(WindowHandle window);
// The Ascii conversion through tbl3, with CR LF as 0x0D and the 0x0D 0x00 terminator. The output
// holds at least length + 2 bytes. Returns the output length.
long ConvertImportText(const uint8_t* input, long length, const uint8_t* tbl3, uint8_t* output);
// Copies App.PendingEntry into the first free slot of the first EntryCount slots; 0 or -1.
int StorePendingEntry();

// The steps of an import, shared with the import of many files.
// Reads the host file at `path` into the import's data buffer: its length, or -1 with the message
// to show in `message` (open failure, too big, empty, short read).
long ReadHostData(const char* path, char* message, int capacity);
// In Ascii mode converts the data buffer's `length` bytes in place; the new length, or -1 with the
// too-big message when the text outgrows 65535 bytes.
long ConvertImportData(long length, char* message, int capacity);
// The import's data buffer (kImportBufferBytes).
uint8_t* ImportData();
// Re-reads the system area and the directories of the image into App. 0 or -1.
int RereadVolume(WindowHandle window);
// Fills App.PendingEntry for data of `length` bytes at (track, sector), named after the host file
// at App.ChosenPath (which keeps only its base name and extension afterwards).
void BuildPendingEntry(long length, int track, int sector);
// Whether every write of the import of App.PendingEntry lands where it belongs (no existing file
// overlapped, the extended directory clear, every sector carried by the image).
bool VolumeSoundForWrite(long length, int sectors, int track, int sector);
