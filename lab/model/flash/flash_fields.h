// The flash's and firmware's keys (flash_state.h), in the `state` section.
#pragma once

#include <span>

#include "lab/record/state.h"

std::span<const persisted_field> flash_fields();
