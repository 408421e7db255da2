#include "zelko/nvme/tunnel.h"

#include "zelko/common/cursor.h"

namespace zelko {

namespace {

// Phase blocks: byte 0 opcode, bytes 1-2 low length, byte 3 phase, bytes 4-5 high length
// or the queue selector, byte 6 the direction code.
cdb16 tunnel_cdb(uint8_t opcode, uint32_t length, uint8_t phase, uint8_t byte6) {
    cdb16 cdb{};
    write_cursor out(cdb.data(), cdb.size());
    out.u8_at(0, opcode);
    out.le16_at(1, static_cast<uint16_t>(length & 0xFFFF));
    out.u8_at(3, phase);
    out.le16_at(4, static_cast<uint16_t>(length >> 16));
    out.u8_at(6, byte6);
    return cdb;
}

cdb16 setting_cdb(uint8_t setting, uint32_t value) {
    cdb16 cdb = tunnel_cdb(k_op_tunnel_out, 0, k_tunnel_setting, 0);
    write_cursor out(cdb.data(), cdb.size());
    out.u8_at(4, setting);
    out.le32_at(8, value);
    return cdb;
}

}  // namespace

nvme_entry_bytes encode_nvme_entry(const nvme_tunnel_cmd& cmd) {
    nvme_entry_bytes bytes{};
    write_cursor out(bytes.data(), bytes.size());
    out.u8_at(k_entry_opcode, cmd.opcode);
    out.le16_at(k_entry_command_id, cmd.command_id);
    out.le32_at(k_entry_nsid, cmd.nsid);
    out.le64_at(k_entry_data_address, cmd.data_address);
    out.le32_at(k_entry_data_length, cmd.data_length);
    const uint32_t dwords[] = {cmd.cdw10, cmd.cdw11, cmd.cdw12, cmd.cdw13, cmd.cdw14, cmd.cdw15};
    for (size_t i = 0; i < 6; ++i) out.le32_at(k_entry_cdw10 + 4 * i, dwords[i]);
    return bytes;
}

cdb16 tunnel_submit_cdb(nvme_queue queue) {
    cdb16 cdb = tunnel_cdb(k_op_tunnel_out, k_nvme_entry_len, k_tunnel_submit, 0);
    cdb[4] = static_cast<uint8_t>(queue);
    return cdb;
}

cdb16 tunnel_data_cdb(uint32_t length, nvme_direction direction) {
    const uint8_t opcode = direction == nvme_direction::from_controller ? k_op_tunnel_in : k_op_tunnel_out;
    return tunnel_cdb(opcode, length, k_tunnel_data, static_cast<uint8_t>(direction));
}

cdb16 tunnel_completion_cdb() { return tunnel_cdb(k_op_tunnel_in, k_nvme_completion_len, k_tunnel_completion, 0); }

cdb16 nvme_cmd_timeout_cdb(uint32_t value) { return setting_cdb(k_setting_cmd_timeout, value); }

cdb16 nvme_aspm_off_cdb() { return setting_cdb(k_setting_aspm_off, 0); }

cmd_status nvme_sense_value(const uint8_t* sense) {
    read_cursor in(sense, k_sense_len);
    return static_cast<cmd_status>((in.u8_at(12) << 8) | in.u8_at(13));
}

cmd_status nvme_tunnel_exec(bridge_dev* dev, const nvme_tunnel_cmd& cmd, nvme_queue queue, nvme_direction direction,
                            void* data, uint8_t* completion_out) {
    nvme_tunnel_cmd entry = cmd;
    entry.data_address = entry.data_length != 0 ? reinterpret_cast<uintptr_t>(data) : 0;
    nvme_entry_bytes bytes = encode_nvme_entry(entry);
    const cmd_status submitted = scsi_send(dev, tunnel_submit_cdb(queue), bytes.data(), k_nvme_entry_len,
                                           data_direction::to_device, k_timeout_s);
    if (submitted != 0) return submitted;

    // A data phase the bridge refuses carries the NVMe outcome in its sense data; one
    // that fails without any counts as done.
    send_result phase;
    const int32_t length = static_cast<int32_t>(entry.data_length);
    const data_direction way =
        direction == nvme_direction::from_controller ? data_direction::from_device : data_direction::to_device;
    const cmd_status moved = scsi_send(dev, tunnel_data_cdb(entry.data_length, direction), length != 0 ? data : nullptr,
                                       length, way, k_timeout_s, &phase);
    cmd_status result = moved == 0 ? 0 : nvme_sense_value(phase.sense);
    // Data from the controller is decoded at fixed offsets: a phase that did not bring
    // every byte leaves nothing to decode, whatever its sense said.
    if (result == 0 && length != 0 && way == data_direction::from_device && (moved != 0 || phase.residual != 0)) {
        result = k_status_short_answer;
    }

    // The completion is fetched whatever the data phase came to. Its outcome counts only
    // for a caller that decodes it.
    uint8_t local[k_nvme_completion_len] = {};
    send_result fetched;
    const cmd_status done = scsi_send(dev, tunnel_completion_cdb(), completion_out != nullptr ? completion_out : local,
                                      k_nvme_completion_len, data_direction::from_device, k_timeout_s, &fetched);
    if (completion_out != nullptr && result == 0 && (done != 0 || fetched.residual != 0)) {
        return done != 0 ? done : k_status_short_answer;
    }
    return result;
}

}  // namespace zelko
