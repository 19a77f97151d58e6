#include "view/flux_report.h"

#include <cstdio>
#include <cstring>

#include "image/container_scp.h"
#include "image/image_source.h"

namespace {

void Append(char* text, int capacity, int* used, const char* format, int a, int b, int c, int d,
            int e, int f) {
  if (*used >= capacity - 1) return;
  const int n =
      std::snprintf(text + *used, static_cast<size_t>(capacity - *used), format, a, b, c, d, e, f);
  if (n > 0) *used = *used + n < capacity - 1 ? *used + n : capacity - 1;
}

}  // namespace

int ReadFluxReport(const char* path, FluxReport* report) {
  std::memset(report, 0, sizeof *report);
  report->firstFailure = -1;
  ImageTarget target;
  if (ImageTargetFor(&target, path, &kScpContainer, kModePc) != 0) return -1;
  ImageSource source;
  SourceBegin(&source, &target);
  ScpHeader header;
  const int read = SourceOpen(&source) != 0 ? kScpReadError : ScpReadHeader(&source, &header);
  int result = 0;
  if (read != kScpOk) {
    SourceEnd(&source);
    return read == kScpReadError ? -1 : 1;
  }
  report->revolutions = header.revolutions;
  uint32_t sum = 0;
  report->checksumGood = ScpSumBytes(&source, &sum) == 0 && sum == header.checksum;
  ModelTrack track;
  for (int p = 0; p < kModelTracks && result == 0; p++) {
    const int entry = ScpEntryOfTrack(&source, header, p);
    ScpTrackReport& t = report->tracks[p];
    const int decoded = ScpDecodeEntry(&source, header, entry, p / 2, p % 2, &track, &t);
    if (decoded == kScpReadError) result = -1;
    if (decoded != kScpOk && report->firstFailure < 0) report->firstFailure = p;
    ScpTrackReport& sum = report->total;
    sum.recorded = sum.recorded || t.recorded;
    sum.found += t.found;
    sum.goodFirst += t.goodFirst;
    sum.recovered += t.recovered;
    sum.bad += t.bad;
    sum.outside += t.outside;
  }
  SourceEnd(&source);
  return result;
}

int FluxReportText(const char* path, char* text, int capacity) {
  if (capacity <= 0) return 0;
  text[0] = '\0';
  static_assert(sizeof(FluxReport) < 8192, "the report lives on the stack");
  FluxReport report;
  const int read = ReadFluxReport(path, &report);
  if (read != 0) return read == 1 ? 0 : -1;
  int used = 0;
  Append(text, capacity, &used, "  flux: revolutions a track: %d\n", report.revolutions, 0, 0, 0, 0,
         0);
  for (int p = 0; p < kModelTracks; p++) {
    const ScpTrackReport& t = report.tracks[p];
    if (!t.recorded) continue;
    Append(text, capacity, &used,
           "  physical track %02d (cylinder %d side %d): %d found, %d good on the first "
           "revolution, %d recovered from another",
           p, p / 2, p % 2, t.found, t.goodFirst, t.recovered);
    Append(text, capacity, &used, ", %d bad", t.bad, 0, 0, 0, 0, 0);
    if (t.outside > 0)
      Append(text, capacity, &used, ", %d with IDs outside the layout", t.outside, 0, 0, 0, 0, 0);
    Append(text, capacity, &used, "\n", 0, 0, 0, 0, 0, 0);
  }
  const ScpTrackReport& s = report.total;
  Append(text, capacity, &used,
         "  flux total: %d sectors found, %d good on the first revolution, %d recovered from "
         "another, %d bad, %d with IDs outside the layout\n",
         s.found, s.goodFirst, s.recovered, s.bad, s.outside, 0);
  if (report.firstFailure >= 0)
    Append(text, capacity, &used, "  flux: physical track %d does not decode\n",
           report.firstFailure, 0, 0, 0, 0, 0);
  if (!report.checksumGood)
    Append(text, capacity, &used, "  note: the header's checksum does not match the file's bytes\n",
           0, 0, 0, 0, 0, 0);
  return used;
}
