// Loading a bridge memory's bytes from a file (`mvbridge-lab DIR load`): a test prepares
// a memory without knowing where the lab keeps it.
#pragma once

#include <cstdint>
#include <string>

#include "lab/record/state.h"

// Writes the whole of the regular file `path` into `memory` at `offset`, as the device
// would have written it: a memory with power-on content gets that content first, so the
// file's bytes lie over it and the rest stays as a new device has it. The file must be a
// regular file and fit the memory at the offset: both are checked before any byte is
// written, and `error` says which failed.
bool memory_load_file(bridge_record& record, const lab_memory_row& memory, uint64_t offset, const std::string& path,
                      std::string* error);
