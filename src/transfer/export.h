// Exporting a file of the volume into a host file, as windowless steps: the file's data read
// from the image (converted in Ascii mode), then written to the host file the caller chose.
#pragma once

#include <cstdint>

#include "image/image_target.h"
#include "texts/outcome.h"
#include "view/directory_list.h"

inline constexpr int kExportBufferBytes = 344064;  // 84 tracks x 16 sectors x 256 bytes
inline constexpr int kHostNameBytes = 256;

// What an export needs to know of a file: its name and type as the list shows them (code page
// 932) and where its bytes lie.
struct ExportFile {
  char name[kCellCapacity];
  char type[kCellCapacity];
  long length;
  int track;
  int sector;
};

// The file of a 32-byte directory entry, its name shown through tbl1 (as its list row shows it).
void ExportFileOfEntry(const uint8_t* entry, const uint16_t* tbl1, ExportFile* file);
// The default host name (kHostNameBytes): the name, '.', the first three characters of the type.
void DefaultExportName(const ExportFile* file, char* hostName);
// The Ascii conversion: 0x00 stays, 0x0D becomes CR LF, other bytes go through tbl2; a last
// zero byte of the output is dropped. Returns the output length (at most 2 x length).
long ConvertExportText(const uint8_t* input, long length, const uint8_t* tbl2, uint8_t* output);

// Reads the file from the image and, when `ascii`, converts it through tbl2; *data points into
// the export's work area until the next read. 0, or -1 after the sector transfer's message.
int ReadFileData(const ImageTarget* target, const ExportFile* file, bool ascii, const uint8_t* tbl2,
                 const uint8_t** data, long* length, Outcome* out);
// ReadFileData for the export of one file: a failed read also says the export's own message.
int ReadExportData(const ImageTarget* target, const ExportFile* file, bool ascii,
                   const uint8_t* tbl2, const uint8_t** data, long* length, Outcome* out);
// Writes the bytes into a new host file, replacing any file of that name. 0 or -1.
int WriteHostFile(const char* path, const uint8_t* data, long length);
// WriteHostFile for the export of one file: 0, or -1 after the export's message.
int WriteExportFile(const char* path, const uint8_t* data, long length, Outcome* out);
