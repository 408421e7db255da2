// The bridge's I2C master: init (0x3F), write (0x3D) and read (0xBC, plain or after a
// one-byte write). Bytes 8-9 hold the 16-bit slave address, byte 10 the I2C id (0 or 1),
// byte 11 is 0.
//
// An init names the GPIOs of the clock and data lines and sets the bus up; it talks to
// no slave. The setup lasts until the bridge restarts. A transfer on a bus that was not
// set up since power-on is refused with CHECK CONDITION 05/2C/00 (command sequence
// error): the bridge does not know which pins carry that bus. Each tool command runs in
// a process of its own, but the bridge keeps the setup between them, so one i2c_init
// serves any number of later transfers.
//
// A transfer to an address where no slave answers is refused as a real master reports a
// missing acknowledge: CHECK CONDITION 0B/08/00 (aborted command, logical unit
// communication failure). A zero-length write to a present slave succeeds: it probes
// the address.
//
// The EEPROM slave: a write's first byte sets its address pointer and the following
// bytes are stored from there; a read returns bytes from the pointer; both move the
// pointer on, wrapping at the end of its 256 bytes. A read after write sets the pointer
// from byte 7 first.
#include "zelko/common/bytes.h"
#include "lab/model/handlers.h"

using namespace zelko;

namespace {

constexpr int k_scl_byte = 2;
constexpr int k_sda_byte = 3;
constexpr int k_mode_byte = 5;         // 1: plain write or plain read
constexpr int k_write_first_byte = 6;  // 1: a read after a one-byte write
constexpr int k_written_byte = 7;      // the byte a read after write writes
constexpr int k_address_byte = 8;
constexpr int k_bus_byte = 10;
constexpr int k_reserved_byte = 11;

constexpr uint32_t k_init_length = 1;
constexpr uint32_t k_max_write = 20;
constexpr uint32_t k_max_read = 255;

// Sense of a slave that does not acknowledge its address.
constexpr uint8_t k_nack_key = 0x0B;
constexpr uint8_t k_nack_asc = 0x08;
// Sense of a transfer on a bus that was not set up.
constexpr uint8_t k_sequence_asc = 0x2C;

bool length_field_matches(const block_request& request) { return vendor_length_field(request) == request.length; }

bool bus_id_valid(const block_request& request) {
    return request.cdb[k_bus_byte] < k_i2c_bus_count && request.cdb[k_reserved_byte] == 0;
}

// The slave a transfer reaches, or null after the refusal that the bus or address gives.
i2c_slave* reach_slave(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t bus = request.cdb[k_bus_byte];
    if (!record.pins.i2c_buses[bus].ready) {
        answer_check(answer, 0x05, k_sequence_asc, 0x00);
        return nullptr;
    }
    i2c_slave* slave = find_i2c_slave(record.pins, bus, get_le16(request.cdb + k_address_byte));
    if (slave == nullptr) answer_check(answer, k_nack_key, k_nack_asc, 0x00);
    return slave;
}

void eeprom_write(i2c_slave& slave, const uint8_t* data, uint32_t count) {
    if (count == 0) return;
    slave.pointer = data[0];
    for (uint32_t i = 1; i < count; ++i) slave.memory[slave.pointer++] = data[i];
}

void eeprom_read(i2c_slave& slave, uint32_t count, std::vector<uint8_t>* out) {
    out->clear();
    for (uint32_t i = 0; i < count; ++i) out->push_back(slave.memory[slave.pointer++]);
}

}  // namespace

void handle_i2c_init(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t scl = request.cdb[k_scl_byte];
    const uint8_t sda = request.cdb[k_sda_byte];
    if (!vendor_length_is(request, k_init_length) || !bus_id_valid(request) || scl >= k_gpio_pin_count ||
        sda >= k_gpio_pin_count || scl == sda) {
        answer_invalid_field(answer);
        return;
    }
    record.pins.i2c_buses[request.cdb[k_bus_byte]] = {true, scl, sda, get_le16(request.cdb + k_address_byte)};
    record.dirty = true;
}

void handle_i2c_write(bridge_record& record, const block_request& request, block_answer& answer) {
    if (!length_field_matches(request) || request.length > k_max_write || request.cdb[k_mode_byte] != 1 ||
        !bus_id_valid(request)) {
        answer_invalid_field(answer);
        return;
    }
    i2c_slave* slave = reach_slave(record, request, answer);
    if (slave == nullptr) return;
    eeprom_write(*slave, request.data_out, request.length);
    record.dirty = true;
}

void handle_i2c_read(bridge_record& record, const block_request& request, block_answer& answer) {
    const uint8_t mode = request.cdb[k_mode_byte];
    const uint8_t write_first = request.cdb[k_write_first_byte];
    const bool plain = mode == 1 && write_first == 0;
    const bool after_write = mode == 0 && write_first == 1;
    if (!length_field_matches(request) || request.length > k_max_read || !(plain || after_write) ||
        !bus_id_valid(request)) {
        answer_invalid_field(answer);
        return;
    }
    i2c_slave* slave = reach_slave(record, request, answer);
    if (slave == nullptr) return;
    if (after_write) slave->pointer = request.cdb[k_written_byte];
    eeprom_read(*slave, request.length, &answer.data);
    record.dirty = true;
}
