// Bulk-Only Transport: the command block wrapper (31 bytes on bulk OUT), the data phase,
// the command status wrapper (13 bytes on bulk IN), the halts that tell the host of a
// failed data-in command, and the sense a failed command leaves for the REQUEST SENSE
// the host sends next (a USB mass-storage device has no other way to hand it over).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "lab/model/block.h"

constexpr uint32_t k_cbw_signature = 0x43425355;  // "USBC"
constexpr uint32_t k_csw_signature = 0x53425355;  // "USBS"
constexpr size_t k_cbw_len = 31;
constexpr size_t k_csw_len = 13;
constexpr uint8_t k_csw_passed = 0;
constexpr uint8_t k_csw_failed = 1;
constexpr uint8_t k_csw_phase_error = 2;

// Runs one command block on the device: the same path as every other request.
using bot_executor = std::function<void(const block_request&, block_answer&)>;

struct bulk_only_state {
    bool in_halted = false;
    bool out_halted = false;
    // A command whose data the host is sending.
    bool receiving = false;
    uint32_t tag = 0;
    uint32_t expected = 0;
    uint8_t cdb[16] = {};
    std::vector<uint8_t> received;
    // What bulk IN hands out, in order: the data phase, then the status wrapper; each
    // item goes out in replies of at most the length the host asks for.
    std::deque<std::vector<uint8_t>> in_items;
    // Sense of the last command that failed, for the next REQUEST SENSE.
    bool sense_pending = false;
    uint8_t sense_key = 0;
    uint8_t sense_asc = 0;
    uint8_t sense_ascq = 0;
};

// Bytes the host sent on bulk OUT: a command block wrapper, or data of the command that
// waits for it. A command runs through `execute` once its data are all there. False when
// the endpoint refuses the bytes (halted, or an invalid wrapper, which halts both
// endpoints until the host's reset recovery).
bool bot_take_out(bulk_only_state& state, const uint8_t* data, size_t length, const bot_executor& execute);

enum class bot_in_reply { wait, stall, data };
// The reply to an IN request of up to `max_length` bytes: stall while bulk IN is halted,
// `data` with the next bytes to hand out, or wait when there is nothing yet (the request
// stays queued until a command produces data).
bot_in_reply bot_next_in(bulk_only_state& state, uint32_t max_length, std::vector<uint8_t>* data);

// The class request Bulk-Only reset: ready for the next wrapper, nothing queued. The
// halts stay until the host clears them.
void bot_reset(bulk_only_state& state);
void bot_clear_halt(bulk_only_state& state, uint8_t endpoint);
