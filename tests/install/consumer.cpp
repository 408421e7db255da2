// A program built against an installed zelko with PREFIX/include as its only include
// path and <zelko/zelko.h> as its only include (tools/check_install builds it against the
// static and the shared library). It links its own port: a scripted one, answering each
// request from a fixed list. It runs a few operations, reads what the refused ones were
// with last_result and describe, and prints one line each; check_install compares the
// lines. Exit code 1 when a request went out that the script did not expect.
#include <zelko/zelko.h>

#include <cstdio>
#include <cstring>
#include <vector>

// The scripted port: one answer per request, in order.
namespace {

struct scripted_answer {
    uint8_t sub;  // the vendor sub-command (byte 4) the request must carry
    int os_error;
    uint8_t scsi_status;
    uint8_t sense_key, asc, ascq;
    std::vector<uint8_t> data;  // data-in bytes handed back
};

const std::vector<scripted_answer> k_script = {
    {0xC3, 0, 0, 0, 0, 0, {0x78, 0x56, 0x34, 0x12}},     // get_uuid
    {0xA2, 0, 0, 0, 0, 0, {0x01, 0x00, 0x02, 0xA0}},     // reg_read32
    {0x92, 0, 0, 0, 0, 0, std::vector<uint8_t>(16, 7)},  // mem_read of 96 bytes: 16 come back
    {0x23, 0, 2, 0x05, 0x24, 0x00, {}},                  // reg_write32, refused
    {0xCB, 5, 0, 0, 0, 0, {}},                           // xfer_flag_get, access denied
};
size_t g_next = 0;
bool g_unexpected = false;

}  // namespace

namespace zelko {

struct port_handle {
    int opened = 1;
};

port_handle* port_open(const char* path) { return std::strcmp(path, "scripted") == 0 ? new port_handle : nullptr; }
void port_close(port_handle* handle) { delete handle; }

int port_pass_through(port_handle*, port_request* request) {
    if (g_next >= k_script.size() || request->cdb[4] != k_script[g_next].sub) {
        g_unexpected = true;
        return 5;
    }
    const scripted_answer& answer = k_script[g_next++];
    request->scsi_status = answer.scsi_status;
    request->residual = request->length;
    if (answer.os_error != 0) return answer.os_error;
    if (answer.scsi_status != 0) {
        request->sense[0] = 0x70;
        request->sense[2] = answer.sense_key;
        request->sense[7] = 0x0A;
        request->sense[12] = answer.asc;
        request->sense[13] = answer.ascq;
        return 0;
    }
    if (request->direction == data_direction::from_device) {
        const size_t count = answer.data.size() < request->length ? answer.data.size() : request->length;
        std::memcpy(request->buffer, answer.data.data(), count);
        request->residual = request->length - static_cast<uint32_t>(count);
    } else {
        request->residual = 0;
    }
    return 0;
}

bool port_is_general_failure(int os_error) { return os_error == 31; }
bool port_is_time_out(int os_error) { return os_error == 121; }
bool port_query_bus_is_usb(port_handle*, bool* is_usb) {
    *is_usb = true;
    return true;
}
std::vector<port_candidate_path> port_candidate_paths() { return {}; }
void port_sleep_ms(uint32_t) {}
int64_t port_time_s() { return 0; }
port_thread* port_thread_start(void (*)(void*), void*) { return nullptr; }
void port_thread_join(port_thread*) {}

}  // namespace zelko

int main() {
    zelko::bridge_dev_ptr dev = zelko::dev_open("scripted");
    if (!dev) return 1;

    uint32_t uuid = 0;
    zelko::cmd_status status = zelko::get_uuid(dev.get(), &uuid);
    std::printf("get_uuid: %d %08x %s\n", status, uuid, zelko::describe(zelko::last_result(dev.get())).c_str());

    uint32_t chip = 0;
    status = zelko::reg_read32(dev.get(), zelko::k_register_base[0] + zelko::k_reg_chip_identity, &chip);
    std::printf("reg_read32: %d 0x%08X %s\n", status, chip, zelko::describe(zelko::last_result(dev.get())).c_str());

    alignas(4) uint8_t window[96] = {};
    status = zelko::mem_read(dev.get(), zelko::k_config_window, window, sizeof window);
    std::printf("mem_read: %d %s\n", status, zelko::describe(zelko::last_result(dev.get())).c_str());

    status = zelko::reg_write32(dev.get(), zelko::k_register_base[0] + zelko::k_reg_hotplug, 0, 1);
    const zelko::send_result refused = zelko::last_result(dev.get());
    const zelko::sense_code sense = zelko::decode_sense(refused.sense);
    std::printf("reg_write32: %d %s (key %s)\n", status, zelko::describe(refused).c_str(),
                refused.category == zelko::result_category::check_condition ? zelko::sense_key_name(sense.key) : "-");

    uint8_t flag = 0xEE;
    status = zelko::xfer_flag_get(dev.get(), &flag);
    std::printf("xfer_flag_get: %d 0x%02X %s\n", status, flag, zelko::describe(zelko::last_result(dev.get())).c_str());

    // A report printer prints to the stream it is given.
    zelko::print_hex_dump(stdout, window, 4);
    zelko::dev_close(dev);
    std::printf("api %s\n", zelko::k_api_version);
    return g_unexpected || g_next != k_script.size() ? 1 : 0;
}
