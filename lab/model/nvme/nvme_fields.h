// The NVMe controller's keys (nvme_state.h): the `nvme` section.
#pragma once

#include <span>

#include "lab/record/state.h"

std::span<const persisted_field> nvme_fields();
