// What each executable provides of the host system beside its windows: host files, today's date,
// its own path. Each executable links one implementation (the Windows program's, zelvo's, the
// tests'); the core may use these, as they show nothing.
#pragma once

#include <cstdio>

// The full path of the running executable, ended by a zero byte. Returns its length, or 0 when
// it cannot be obtained or does not fit into `capacity` bytes.
unsigned PlatformExecutablePath(char* buffer, unsigned capacity);

// Today's local date as the eight characters MM/DD/YY and a terminating zero.
void PlatformLocalDate(char out[9]);

// Opens a host file (not an image) with fopen's mode letters. The path is in the encoding the
// front end works in: the ANSI code page in the Windows program, UTF-8 in zelvo (opened through
// the wide API on Windows). Null when it cannot be opened.
std::FILE* PlatformOpenHostFile(const char* path, const char* mode);
// A file name taken from a volume (code page 932) as a plain file name for the host, in the
// encoding of PlatformOpenHostFile's paths: characters that a file name cannot hold (separators,
// control characters) become '_'. 0, or -1 when it does not fit into `capacity` bytes.
int PlatformHostFileName(const char* name, char* out, int capacity);
// Whether host paths are in the program's own code page (932), so that a volume's file name
// needs no conversion to be one.
bool PlatformHostUsesProgramCodePage();
