// The bridge's address space as its memory and register commands see it.
#pragma once

#include <cstdint>

#include "lab/state.h"

// Read window of the configuration area: the PG flash sector.
constexpr uint32_t k_config_window = 0xAC004000;

// The value a register of the bridge's register block reads now (`offset` from the
// block's base): chip identity and version from the bridge's identity, values written
// since the last restart, else the register's power-on value.
uint32_t bridge_register_value(const bridge_record& record, uint32_t offset);
