// The bridge's own keys (bridge_state.h): the `identity` section, and the `settings`,
// `state` and `registers` sections' rows of the bridge itself.
#pragma once

#include <span>

#include "lab/record/state.h"

std::span<const persisted_field> bridge_identity_fields();
std::span<const persisted_field> bridge_fields();
