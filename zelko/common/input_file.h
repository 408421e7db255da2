// Files the tool reads from its command line (configuration files, image files): only a
// regular file is opened, so that a device node, a FIFO or a directory given by mistake
// is refused at once instead of being read forever or failing half-way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

using input_file_ptr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens `path` for binary reading when it names a regular file (a link to one counts);
// null for a null or empty path, anything else, or a file that does not open. `size`
// (when given) receives the file's size in bytes.
input_file_ptr open_input_file(const char* path, uint64_t* size = nullptr);

}  // namespace zelko
ZELKO_API_END
