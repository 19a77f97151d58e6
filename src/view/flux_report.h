// What the revolutions of a flux image (SCP) gave, track by track: the sectors found, those sound
// in the first revolution, those recovered from another revolution and those bad, and the sectors
// whose IDs lie outside the volume's layout. identify, check and convert print it.
#pragma once

#include "image/disk_model.h"
#include "image/scp_decode.h"

struct FluxReport {
  int revolutions;
  bool checksumGood;
  ScpTrackReport tracks[kModelTracks];  // by physical track
  ScpTrackReport total;                 // the sums (recorded: any track recorded)
  int firstFailure;                     // the first physical track that did not decode, or -1
};

// Reads the report of the SCP image at `path`. 0; 1 when the file is no SCP image (nothing is
// reported); -1 when it cannot be read.
int ReadFluxReport(const char* path, FluxReport* report);

// The report as lines of text, each ended by a line feed, into `text` (cut at `capacity` bytes):
// nothing for a file that is no SCP image. The number of bytes written, or -1 when the image
// cannot be read.
int FluxReportText(const char* path, char* text, int capacity);
