// What a USB host sends to a served lab bridge: requests of endpoint 0, bulk OUT packets
// (command block wrappers and their data) and bulk IN requests, in any order and form.
// Every command reaches the device model of an in-memory bridge.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zelko/common/cursor.h"
#include "fuzz_check.h"
#include "lab/model/bridge/identity.h"
#include "lab/host/serve.h"
#include "lab/usb/bulk_only.h"
#include "lab/usb/usb_device.h"

using namespace zelko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bridge_record bridge;
    bridge.id = "PhysicalDrive1";
    bridge.state.name = "PhysicalDrive1";
    apply_disk_defaults(bridge, k_disk_nvme);
    bridge.disk.capacity_sectors = 64;
    const usb_identity identity = bridge_usb_identity(bridge);
    bulk_only_state state;
    const bot_executor execute = [&bridge](const block_request& request, block_answer& answer) {
        serve_request(bridge, request, answer);
    };

    read_cursor input(data, size);
    while (input.ok() && input.remaining() > 0) {
        const uint8_t kind = input.u8() % 4;
        if (kind == 0) {
            const usb_setup setup{input.u8(), input.u8(), input.le16(), input.le16(), input.le16()};
            const usb_control_answer answer = usb_answer_control(identity, setup, {state.in_halted, state.out_halted});
            require(answer.data.size() <= setup.length);
            if (answer.action == usb_control_action::bulk_only_reset) bot_reset(state);
            if (answer.action == usb_control_action::clear_halt) bot_clear_halt(state, answer.endpoint);
        } else if (kind == 1) {
            const size_t length = input.u8() % 64;
            std::vector<uint8_t> packet(length);
            for (uint8_t& byte : packet) byte = input.u8();
            bot_take_out(state, packet.data(), packet.size(), execute);
        } else if (kind == 2) {
            // A well-formed wrapper around fuzzed fields, so that commands run.
            std::vector<uint8_t> cbw(k_cbw_len, 0);
            write_cursor out(cbw.data(), cbw.size());
            out.le32(k_cbw_signature);
            out.le32(input.le32());
            out.le32(input.le16());  // data phases up to 64 KiB
            out.u8(input.u8() & 0x80);
            out.u8(0);
            out.u8(16);
            for (int i = 0; i < 16; ++i) out.u8(input.u8());
            bot_take_out(state, cbw.data(), cbw.size(), execute);
        } else {
            const uint32_t asked = input.le16();
            std::vector<uint8_t> reply;
            if (bot_next_in(state, asked, &reply) == bot_in_reply::data) require(reply.size() <= asked);
        }
    }
    return 0;
}
