#include "zelko/common/print_level.h"

namespace zelko {

int32_t print_level = 0;

void set_print_level(int32_t level) { print_level = level; }

}  // namespace zelko
