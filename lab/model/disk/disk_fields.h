// The `set` and `show` forms of the disk's raw memories (lab/model/disk/disk_spaces.h): the
// rows of the `disk` section of k_persisted_fields that read and write those bytes. Only
// ata_features has header lines of its own; the others live in the memories.
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

#include "lab/record/state.h"

extern const custom_field k_pcie_max_gen_field;
extern const custom_field k_pcie_max_width_field;
extern const custom_field k_pcie_gen_field;
extern const custom_field k_pcie_width_field;
extern const custom_field k_smart_attribute_field;
extern const custom_field k_smart_file_field;
extern const custom_field k_ata_features_field;
