// What the fuzz targets share: files in memory, a reset App on the scripted platform, and a way
// to stop loudly when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "volume/volume_check.h"

struct ImageChange;

namespace fuzz {

// The change the fuzzed writes go through (one per process, as a program has one record).
ImageChange* Change();

// Every file of a target lives in memory, nothing on the disk: the images (the targets link the
// in-memory image files) and the host files (the scripted platform keeps them).
// The same image under several names: `name` plus each extension names the image returned, so
// one write serves every layout.
std::string LinkedImage(const std::string& name, const std::vector<std::string>& extensions);
void WriteImage(const std::string& path, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadImage(const std::string& path);
// A host file's path; its bytes, whether it exists, and removing it.
std::string HostPath(const std::string& name);
void WriteHost(const std::string& path, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadHost(const std::string& path);
bool HostExists(const std::string& path);
void RemoveHost(const std::string& path);

// App zeroed with the scripted windows, the scripted platform reset (host files in memory),
// identity code tables, no injected write fault.
void ResetApp();

// Loads the current image (LoadVolume) and runs the volume check on it: its findings, or one
// kCheckImageUnreadable when the image cannot be opened.
std::vector<CheckFinding> LoadAndCheck();

// Prints the broken invariant and aborts, so that the fuzzer keeps the input.
[[noreturn]] void Fail(const char* what, const std::string& detail = "");
inline void Require(bool condition, const char* what, const std::string& detail = "") {
  if (!condition) Fail(what, detail);
}

// Little helpers to split an input into fields.
struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  unsigned Word() { return Byte() | (Byte() << 8); }
  size_t Left() const { return size - at; }
  const uint8_t* Here() const { return data + at; }
  void Skip(size_t n) { at += n < Left() ? n : Left(); }
};

}  // namespace fuzz
