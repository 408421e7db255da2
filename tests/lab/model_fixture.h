// Serving command blocks on an in-memory device record, without a lab directory.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "lab/model/block.h"
#include "lab/model/bridge/identity.h"
#include "lab/host/serve.h"

struct served {
    block_answer answer;
    std::string sense() const;  // "05/24/00", or "" for a good status
};

// A default bridge as `create NAME` makes it.
bridge_record make_bridge(uint32_t disk = k_disk_nvme, int generation = 1);

// A record with every part in use: texts that need escapes, registers, flash bytes, a fault
// rule with its counter, and busy pins.
bridge_record busy_record();

// The state file's header lines a bridge cannot be without (its identity), as a default
// bridge's file holds them; a hand-made file starts with these.
std::string identity_lines();

// Bytes of the record's flash, and their replacement.
std::vector<uint8_t> flash_at(bridge_record& record, uint64_t offset, size_t length);
void set_flash(bridge_record& record, uint64_t offset, const std::vector<uint8_t>& bytes);

// CDB from hex pairs, zero-padded to 16 bytes.
std::array<uint8_t, 16> cdb_of(const std::string& hex);

served serve_in(bridge_record& record, const std::string& cdb_hex, uint32_t length, bool cdrom_view = false);
served serve_out(bridge_record& record, const std::string& cdb_hex, const std::vector<uint8_t>& data);

// A block with a data phase of `length` bytes (zeros when it carries data out), and the
// sense it is answered with ("" for a good status).
struct block_case {
    const char* cdb;
    bool data_in;
    uint32_t length;
    const char* sense;
};

served serve_block(bridge_record& record, const block_case& c);

// Serves each block on `record` in turn and checks the sense of its answer.
void expect_senses(bridge_record& record, const std::vector<block_case>& cases);
