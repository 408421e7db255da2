// The disk's keys: the `disk` section's rows of its identity, settings and state
// (disk_state.h), then the `set` and `show` forms of its raw memories (disk_spaces.h),
// which read and write those bytes. Of these only ata_features has header lines of its
// own; the others live in the memories.
//
//   pcie_max_gen, pcie_max_width   Link Capabilities of the PCIe function (generation 1
//                                  to 6; width 1, 2, 4, 8, 12, 16 or 32); a link trained
//                                  above them comes down to them
//   pcie_gen, pcie_width           Link Status: the link as trained, at most the above
//   smart_attribute                set: "ID CURRENT WORST RAW [THRESHOLD]" writes an
//                                  attribute slot (numbers decimal or 0x hex, RAW up to
//                                  48 bits, THRESHOLD the slot's last byte), "ID none"
//                                  empties it; shows the attributes
//   smart_file                     set: a saved 512-byte SMART READ DATA file becomes the
//                                  disk's data as it is; shows version and checksum
//   ata_features                   SET FEATURES received, the latest last (hex pairs)
#pragma once

#include <span>

#include "lab/record/state.h"

// The `disk` section's rows of the disk's identity, settings and state.
std::span<const persisted_field> disk_fields();
// The rows of the disk's raw memories above, at the `disk` section's end.
std::span<const persisted_field> disk_memory_fields();
