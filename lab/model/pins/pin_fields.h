// The text forms of a bridge's pin state (pin_state.h) in state files, `show` and `set`:
// the rows of the `pins` section of the record's keys.
//
//   gpio_pins     pins away from their power-on setting: "PIN FUNCTION DIR LATCH" lines
//   gpio_in       set: levels driven onto pins from outside, "PIN=LEVEL[,PIN=LEVEL]..."
//                 (only the pins named change)
//   i2c_buses     buses set up by an I2C init: "ID SCL SDA SLAVE" lines
//   i2c_slaves    set: the slaves wired to the buses, "ID:ADDRESS:KIND[,...]" with the
//                 address in hex and the kind `eeprom`, or "none"; a slave that stays
//                 keeps its memory, a new one starts erased
//   i2c_eeprom    an EEPROM's pointer and 256 bytes: "ID:ADDRESS POINTER HEX" lines
//   uart_receiver the receive pin and baud rate set by a UART init: "PIN BAUD"
//   uart_tx       what went out of the transmit pin: "PIN BAUD TEXT" lines, PIN "-" for
//                 the bridge's own transmit pin, TEXT escaped
//   uart_rx       set: bytes arriving on the receive pin, added to what waits: text as
//                 given, or "hex:" and hex pairs; stored as hex pairs
#pragma once

#include <span>

#include "lab/record/state.h"

std::span<const persisted_field> pin_fields();
