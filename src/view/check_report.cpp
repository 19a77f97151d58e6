#include "view/check_report.h"

#include <cstdio>
#include <cstring>

#include "texts/texts.h"
#include "view/directory_list.h"
#include "view/sector_owner.h"
#include "volume/layout.h"

namespace {

// The name of a directory slot as the list shows it.
void SlotName(const uint8_t* directory, int entryCount, const uint16_t* tbl1, int slot, char* out) {
  out[0] = '\0';
  if (slot < 0 || slot >= entryCount || slot >= kDirectoryBufferBytes / kEntryBytes) return;
  DirectoryRow row;
  FormatDirectoryRow(directory + slot * kEntryBytes, tbl1, &row);
  std::memcpy(out, row.cells[kColName], kCellCapacity);
}

}  // namespace

void ComposeCheckLine(const CheckFinding& f, const char* name, const char* otherName, char* out,
                      int capacity, bool english) {
  // Each text in the language asked for.
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  const size_t n = static_cast<size_t>(capacity);
  const unsigned long offset = f.offset;
  switch (f.kind) {
    case kCheckRunOutside:
      if (f.sector < 1 || f.sector > 16 || f.track > 83)
        std::snprintf(out, n, in(kCheckLineBadStart), name, f.track & 0xFF, f.sector & 0xFF);
      else
        std::snprintf(out, n, in(kCheckLineRunOutside), name, f.track, f.sector, f.count);
      break;
    case kCheckRunFree:
      std::snprintf(out, n, in(kCheckLineRunFree), name, f.count, f.track, f.sector);
      break;
    case kCheckSharedSectors:
      std::snprintf(out, n, in(kCheckLineShared), name, f.count,
                    f.otherSlot < 0 ? in(kCheckExdirName) : otherName, f.track, f.sector);
      break;
    case kCheckExdirFree:
      std::snprintf(out, n, in(kCheckLineExdirFree), f.track, f.sector, f.count);
      break;
    case kCheckExdirOutside: std::snprintf(out, n, in(kCheckLineExdirOutside), f.count); break;
    case kCheckD88ShortHeader: std::snprintf(out, n, "%s", in(kCheckLineShortHeader)); break;
    case kCheckD88OffsetInHeader:
      std::snprintf(out, n, in(kCheckLineOffsetInHeader), f.track, offset);
      break;
    case kCheckD88OffsetOutside:
      std::snprintf(out, n, in(kCheckLineOffsetOutside), f.track, offset);
      break;
    case kCheckD88RecordsOutside:
      std::snprintf(out, n, in(kCheckLineRecordsOutside), f.track, f.count);
      break;
    case kCheckSectorsMissing:
      std::snprintf(out, n, in(kCheckLineMissing), f.track, f.sector, f.count);
      break;
    case kCheckSameName: std::snprintf(out, n, in(kCheckLineSameName), name); break;
    case kCheckFreeMissing:
      std::snprintf(out, n, in(kCheckLineFreeMissing), f.track, f.sector, f.count);
      break;
    case kCheckBadSector: {
      const SectorHealth health{kSectorBad, static_cast<uint8_t>(f.offset >> 8),
                                static_cast<uint8_t>(f.offset & 0xFF)};
      char verdict[128];
      ComposeSectorVerdict(health, english, verdict, sizeof verdict);
      char owner[128];
      if (f.otherSlot == kOwnerFile)
        std::snprintf(owner, sizeof owner, in(kSectorOwnerFile), name);
      else
        ComposeSectorOwner(VolumeView{}, SectorOwner{f.otherSlot, -1}, nullptr, english, owner,
                           sizeof owner);
      std::snprintf(out, n, in(kCheckLineBadSector), f.track, f.sector, verdict, owner);
      break;
    }
    default: std::snprintf(out, n, "%s", in(kCheckLineUnreadable)); break;
  }
}

void ComposeCheckReport(const CheckFindings& findings, const uint8_t* directory, int entryCount,
                        const uint16_t* tbl1, char* out, int capacity, bool english) {
  const auto in = [english](const char* ja) { return english ? TextEn(TextIdOf(ja)) : ja; };
  if (capacity <= 0) return;
  out[0] = '\0';
  if (findings.count == 0) {
    std::snprintf(out, static_cast<size_t>(capacity), "%s", in(kMsgCheckClean));
    return;
  }
  int used = std::snprintf(out, static_cast<size_t>(capacity), in(kMsgCheckFound), findings.count);
  const int stored = findings.count < findings.capacity ? findings.count : findings.capacity;
  const int told = stored < kCheckReportLines ? stored : kCheckReportLines;
  for (int i = 0; i < told && used >= 0 && used < capacity; ++i) {
    char name[kCellCapacity];
    char other[kCellCapacity];
    SlotName(directory, entryCount, tbl1, findings.items[i].slot, name);
    SlotName(directory, entryCount, tbl1, findings.items[i].otherSlot, other);
    char line[256];
    ComposeCheckLine(findings.items[i], name, other, line, sizeof line, english);
    used += std::snprintf(out + used, static_cast<size_t>(capacity - used), "\n%s", line);
  }
  if (findings.count > told && used >= 0 && used < capacity)
    std::snprintf(out + used, static_cast<size_t>(capacity - used), in(kMsgCheckMore),
                  findings.count - told);
}
