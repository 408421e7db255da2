#include "lab/host/serve.h"

#include <algorithm>

#include "lab/model/block_table.h"
#include "lab/record/text.h"

namespace {

constexpr size_t k_traced_data = 64;

// Counts the match of every rule whose pattern fits; the first rule that fires wins.
bool pick_fault(bridge_record& record, const uint8_t* cdb, fault_rule* fired) {
    bool have = false;
    for (fault_rule& rule : record.faults) {
        if (!fault_matches(rule, cdb)) continue;
        record.dirty = true;
        if (fault_count_and_fire(rule) && !have) {
            *fired = rule;
            have = true;
        }
    }
    return have;
}

}  // namespace

void serve_request(bridge_record& record, const block_request& request, block_answer& answer) {
    fault_rule fault;
    const bool faulty = pick_fault(record, request.cdb, &fault);
    if (faulty && fault.kind == fault_kind::status) {
        answer_check(answer, fault.sense_key, fault.sense_asc, fault.sense_ascq);
        answer.status = static_cast<uint8_t>(fault.value);
        return;
    }
    if (faulty && fault.kind == fault_kind::os_error) {
        answer.os_error = static_cast<int>(fault.value);
        return;
    }

    if (faulty && fault.kind == fault_kind::drop_write && !request.data_in) return;

    block_request effective = request;
    std::vector<uint8_t> written;
    const bool damages_write = faulty && (fault.kind == fault_kind::corrupt_write || fault.kind == fault_kind::tear);
    if (damages_write && !request.data_in && request.length != 0) {
        written.assign(request.data_out, request.data_out + request.length);
        for (size_t i = 0; i < written.size(); ++i) {
            if (fault.kind == fault_kind::corrupt_write) written[i] = static_cast<uint8_t>(~written[i]);
            if (fault.kind == fault_kind::tear && i >= fault.value) written[i] = 0xFF;
        }
        effective.data_out = written.data();
    }

    serve_block(record, effective, answer);

    if (!faulty || answer.status != 0 || answer.os_error != 0 || !request.data_in) return;
    if (fault.kind == fault_kind::short_data) {
        answer.data.resize(std::min<size_t>(answer.data.size(), fault.value));
    } else if (fault.kind == fault_kind::corrupt) {
        for (uint8_t& byte : answer.data) byte = static_cast<uint8_t>(~byte);
    } else if (fault.kind == fault_kind::flip && fault.value < answer.data.size()) {
        answer.data[fault.value] = static_cast<uint8_t>(~answer.data[fault.value]);
    }
}

std::string trace_cmd_line(const std::string& name, const uint8_t* cdb, bool data_in, uint32_t length, int scsi_status,
                           int os_error, const uint8_t* data_out) {
    std::string line = "CMD " + name + " " + hex_bytes(cdb, 16) + (data_in ? " in " : " out ") +
                       std::to_string(length) + " status=" + std::to_string(scsi_status) +
                       " err=" + std::to_string(os_error);
    if (!data_in && length != 0 && data_out != nullptr) {
        line += " data=" + hex_bytes(data_out, std::min<size_t>(length, k_traced_data));
    }
    return line;
}
