// The pieces of `serve`: the USB identity, descriptors and endpoint-0 answers, and the
// Bulk-Only Transport with its halts and handed-over sense.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "zelko/common/bytes.h"
#include "lab/host/lab_dir.h"
#include "lab/usb/served_bridge.h"
#include "lab/usb/bulk_only.h"
#include "lab/usb/usb_device.h"
#include "model_fixture.h"

using namespace zelko;

namespace {

std::string utf16_text(const std::vector<uint8_t>& descriptor) {
    std::string text;
    for (size_t i = 2; i + 1 < descriptor.size(); i += 2) text += static_cast<char>(descriptor[i]);
    return text;
}

TEST(usb_serve, identity_comes_from_the_bridge_defaults_without_a_pg_record) {
    bridge_record bridge = make_bridge();
    bridge.params.uuid = 0x4C410001;
    const usb_identity id = bridge_usb_identity(bridge);
    EXPECT_EQ(id.vendor_id, k_lab_usb_vendor_id);
    EXPECT_EQ(id.product_id, k_lab_usb_product_gen1);
    EXPECT_EQ(id.device_bcd, 0x0101);
    EXPECT_EQ(utf16_text(id.manufacturer), "Morvelt");
    EXPECT_EQ(utf16_text(id.product), "USB3 NVMe Bridge");
    EXPECT_EQ(utf16_text(id.serial), "00004C410001");
    bridge_record gen0 = make_bridge(k_disk_nvme, 0);
    EXPECT_EQ(bridge_usb_identity(gen0).product_id, k_lab_usb_product_gen0);
    bridge.params.revision = "x.01";
    EXPECT_EQ(bridge_usb_identity(bridge).device_bcd, 0);
}

// The PG record's VID, PID and string descriptors as stored; what it lacks, or holds in
// a form that is no string descriptor, comes from the defaults.
TEST(usb_serve, identity_comes_from_the_pg_record_where_it_holds_one) {
    bridge_record bridge = make_bridge();
    const std::vector<uint8_t> record = {
        3, 0x34, 0x12,                          // VID 1234h
        4, 0x78, 0x56,                          // PID 5678h
        5, 6,    0x02, 'B', 0, 'd', 0,          // PRODUCT: type 02h, no string descriptor
        7, 8,    0x03, 'S', 0, 'N', 0, '7', 0,  // SERIAL "SN7"
        0,
    };
    set_flash(bridge, k_flash_pg_sector + k_flash_sector_size / 2, record);
    const usb_identity id = bridge_usb_identity(bridge);
    EXPECT_EQ(id.vendor_id, 0x1234);
    EXPECT_EQ(id.product_id, 0x5678);
    EXPECT_EQ(id.serial, (std::vector<uint8_t>{8, 0x03, 'S', 0, 'N', 0, '7', 0}));
    EXPECT_EQ(utf16_text(id.product), "USB3 NVMe Bridge");
    EXPECT_EQ(utf16_text(id.manufacturer), "Morvelt");
    // A record that breaks before its end still gives the entries before the break.
    set_flash(bridge, k_flash_pg_sector + k_flash_sector_size / 2, {3, 0x34, 0x12, 0xF0, 0x05});
    const usb_identity broken = bridge_usb_identity(bridge);
    EXPECT_EQ(broken.vendor_id, 0x1234);
    EXPECT_EQ(broken.product_id, k_lab_usb_product_gen1);
}

TEST(usb_serve, descriptors_present_a_bulk_only_mass_storage_device) {
    usb_identity id;
    id.vendor_id = 0x1234;
    id.product_id = 0xABCD;
    id.device_bcd = 0x0202;
    id.manufacturer = usb_string_of("Maker");
    id.product = usb_string_of("Thing");
    id.serial = usb_string_of("S1");
    const std::vector<uint8_t> device = usb_device_descriptor(id);
    EXPECT_EQ(device,
              (std::vector<uint8_t>{18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x34, 0x12, 0xCD, 0xAB, 0x02, 0x02, 1, 2, 3, 1}));
    const std::vector<uint8_t> config = usb_configuration_descriptor();
    ASSERT_EQ(config.size(), 32u);
    EXPECT_EQ(get_le16(&config[2]), 32u);
    EXPECT_EQ(config[5], 1);   // configuration value
    EXPECT_EQ(config[13], 2);  // endpoints
    EXPECT_EQ(std::vector<uint8_t>(config.begin() + 14, config.begin() + 17), (std::vector<uint8_t>{0x08, 0x06, 0x50}));
    EXPECT_EQ(std::vector<uint8_t>(config.begin() + 18, config.end()),
              (std::vector<uint8_t>{7, 5, 0x81, 2, 0x00, 0x02, 0, 7, 5, 0x02, 2, 0x00, 0x02, 0}));
    EXPECT_EQ(usb_string_descriptor(id, 0), (std::vector<uint8_t>{4, 3, 0x09, 0x04}));
    const std::vector<uint8_t> product = usb_string_descriptor(id, 2);
    EXPECT_EQ(product[0], 12);
    EXPECT_EQ(utf16_text(product), "Thing");
    EXPECT_TRUE(usb_string_descriptor(id, 4).empty());
    // A string too long for a one-byte length is cut at 126 characters.
    EXPECT_EQ(usb_string_of(std::string(300, 'x')).size(), 254u);
}

TEST(usb_serve, endpoint_zero_answers_standard_and_class_requests) {
    bridge_record bridge = make_bridge();
    const usb_identity id = bridge_usb_identity(bridge);
    // GET_DESCRIPTOR(device) cut to the asked length, as the first request of every host.
    const usb_control_answer first = usb_answer_control(id, {0x80, 6, 0x0100, 0, 8}, {});
    EXPECT_FALSE(first.stall);
    EXPECT_EQ(first.data.size(), 8u);
    EXPECT_EQ(usb_answer_control(id, {0x80, 6, 0x0200, 0, 255}, {}).data.size(), 32u);
    EXPECT_TRUE(usb_answer_control(id, {0x80, 6, 0x0304, 0x0409, 255}, {}).stall);
    EXPECT_TRUE(usb_answer_control(id, {0x80, 6, 0x0700, 0, 255}, {}).stall);  // other speed: none
    EXPECT_EQ(usb_answer_control(id, {0x80, 6, 0x0600, 0, 10}, {}).data.size(), 10u);
    // GET_MAX_LUN: one unit; Bulk-Only reset asks for the transport's reset.
    EXPECT_EQ(usb_answer_control(id, {0xA1, 0xFE, 0, 0, 1}, {}).data, std::vector<uint8_t>{0});
    EXPECT_EQ(usb_answer_control(id, {0x21, 0xFF, 0, 0, 0}, {}).action, usb_control_action::bulk_only_reset);
    EXPECT_TRUE(usb_answer_control(id, {0x21, 0xFF, 0, 1, 0}, {}).stall);  // another interface
    // GET_STATUS of an endpoint tells its halt; CLEAR_FEATURE(HALT) names the endpoint.
    EXPECT_EQ(usb_answer_control(id, {0x82, 0, 0, 0x81, 2}, {true, false}).data, (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(usb_answer_control(id, {0x82, 0, 0, 0x02, 2}, {true, false}).data, (std::vector<uint8_t>{0, 0}));
    EXPECT_TRUE(usb_answer_control(id, {0x82, 0, 0, 0x83, 2}, {}).stall);
    const usb_control_answer clear = usb_answer_control(id, {0x02, 1, 0, 0x81, 0}, {true, false});
    EXPECT_EQ(clear.action, usb_control_action::clear_halt);
    EXPECT_EQ(clear.endpoint, 0x81);
    EXPECT_TRUE(usb_answer_control(id, {0x00, 5, 3, 0, 0}, {}).stall);  // SET_ADDRESS is the bus's own
    EXPECT_TRUE(usb_answer_control(id, {0x00, 9, 2, 0, 0}, {}).stall);  // no configuration 2
}

std::vector<uint8_t> wrapper(uint32_t tag, uint32_t length, bool data_in, const std::vector<uint8_t>& cdb) {
    std::vector<uint8_t> cbw(k_cbw_len, 0);
    put_le32(&cbw[0], k_cbw_signature);
    put_le32(&cbw[4], tag);
    put_le32(&cbw[8], length);
    cbw[12] = data_in ? 0x80 : 0x00;
    cbw[14] = static_cast<uint8_t>(cdb.size());
    std::copy(cdb.begin(), cdb.end(), cbw.begin() + 15);
    return cbw;
}

struct bot_fixture {
    bridge_record bridge = make_bridge();
    bulk_only_state state;
    std::vector<std::vector<uint8_t>> cdbs;  // every block the device saw
    bot_executor execute = [this](const block_request& request, block_answer& answer) {
        cdbs.emplace_back(request.cdb, request.cdb + 16);
        serve_request(bridge, request, answer);
    };

    bool out(const std::vector<uint8_t>& bytes) { return bot_take_out(state, bytes.data(), bytes.size(), execute); }
    bot_in_reply in(uint32_t length, std::vector<uint8_t>* data) { return bot_next_in(state, length, data); }
    // The status wrapper's tag, residue and status, read from the next IN reply.
    std::array<uint32_t, 3> status() {
        std::vector<uint8_t> csw;
        EXPECT_EQ(in(13, &csw), bot_in_reply::data);
        if (csw.size() != k_csw_len) return {0, 0, 0xFF};
        EXPECT_EQ(get_le32(&csw[0]), k_csw_signature);
        return {get_le32(&csw[4]), get_le32(&csw[8]), csw[12]};
    }
};

TEST(usb_serve, a_data_in_command_hands_out_data_then_status) {
    bot_fixture f;
    std::vector<uint8_t> data;
    EXPECT_EQ(f.in(36, &data), bot_in_reply::wait);  // IN before any command waits
    ASSERT_TRUE(f.out(wrapper(7, 96, true, {0x12, 0, 0, 0, 96})));
    // The host asks in two pieces; the short answer (36 of 96) leaves a residue.
    ASSERT_EQ(f.in(16, &data), bot_in_reply::data);
    EXPECT_EQ(data.size(), 16u);
    ASSERT_EQ(f.in(96, &data), bot_in_reply::data);
    EXPECT_EQ(data.size(), 20u);
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{7, 60, 0}));
    EXPECT_EQ(f.in(13, &data), bot_in_reply::wait);
}

TEST(usb_serve, a_data_out_command_runs_once_its_data_are_all_there) {
    bot_fixture f;
    f.bridge.disk.capacity_sectors = 16;
    ASSERT_TRUE(f.out(wrapper(9, 1024, false, {0x2A, 0, 0, 0, 0, 3, 0, 0, 2, 0})));
    std::vector<uint8_t> first(512, 0xA5), second(512, 0x5A);
    ASSERT_TRUE(f.out(first));
    EXPECT_TRUE(f.cdbs.empty());
    ASSERT_TRUE(f.out(second));
    ASSERT_EQ(f.cdbs.size(), 1u);
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{9, 0, 0}));
    std::vector<uint8_t> back(1024);
    ASSERT_TRUE(memory_read(f.bridge, lab_memory::media, 3 * 512, back.data(), back.size()));
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 512), first);
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + 512, back.end()), second);
}

// A refused data-in block halts bulk IN; once the host clears the halt it reads a failed
// status, and its REQUEST SENSE gets the refused block's sense, once.
TEST(usb_serve, a_refused_block_halts_bulk_in_and_leaves_its_sense_for_request_sense) {
    bot_fixture f;
    ASSERT_TRUE(f.out(wrapper(1, 16, true, {0xE2, 0, 0, 0, 0x99, 0, 0, 0, 0, 0, 0, 0, 16})));
    std::vector<uint8_t> data;
    EXPECT_EQ(f.in(16, &data), bot_in_reply::stall);
    EXPECT_EQ(f.in(13, &data), bot_in_reply::stall);
    bot_clear_halt(f.state, 0x81);
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{1, 16, 1}));
    ASSERT_TRUE(f.out(wrapper(2, 18, true, {0x03, 0, 0, 0, 18})));
    ASSERT_EQ(f.in(18, &data), bot_in_reply::data);
    ASSERT_EQ(data.size(), 18u);
    EXPECT_EQ(data[0], 0x70);
    EXPECT_EQ(data[2], 0x05);
    EXPECT_EQ(data[12], 0x20);
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{2, 0, 0}));
    // The next REQUEST SENSE tells the unit's own condition: no sense.
    ASSERT_TRUE(f.out(wrapper(3, 18, true, {0x03, 0, 0, 0, 18})));
    ASSERT_EQ(f.in(18, &data), bot_in_reply::data);
    EXPECT_EQ(data[2], 0x00);
    EXPECT_EQ(data[12], 0x00);
    EXPECT_EQ(f.status()[2], 0u);
}

TEST(usb_serve, a_refused_block_without_data_fails_its_status_without_a_halt) {
    bot_fixture f;
    f.bridge.disk.kind = k_disk_none;
    ASSERT_TRUE(f.out(wrapper(4, 0, false, {0x00})));
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{4, 0, 1}));
    EXPECT_FALSE(f.state.in_halted);
    ASSERT_TRUE(f.out(wrapper(5, 18, true, {0x03, 0, 0, 0, 18})));
    std::vector<uint8_t> data;
    ASSERT_EQ(f.in(18, &data), bot_in_reply::data);
    EXPECT_EQ(data[2], 0x02);
    EXPECT_EQ(data[12], 0x3A);
}

TEST(usb_serve, an_invalid_wrapper_halts_both_endpoints_until_reset_and_clear) {
    bot_fixture f;
    std::vector<uint8_t> bad = wrapper(1, 0, false, {0x00});
    bad[0] = 0x00;
    EXPECT_FALSE(f.out(bad));
    EXPECT_FALSE(f.out(wrapper(2, 0, false, {0x00})));  // OUT stays halted
    std::vector<uint8_t> data;
    EXPECT_EQ(f.in(13, &data), bot_in_reply::stall);
    EXPECT_TRUE(f.cdbs.empty());
    bot_reset(f.state);
    bot_clear_halt(f.state, 0x81);
    bot_clear_halt(f.state, 0x02);
    ASSERT_TRUE(f.out(wrapper(3, 0, false, {0x00})));
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{3, 0, 0}));
    // A logical unit other than 0, or a command block of 17 bytes, is no wrapper either.
    std::vector<uint8_t> lun = wrapper(4, 0, false, {0x00});
    lun[13] = 1;
    EXPECT_FALSE(f.out(lun));
    bot_fixture g;
    std::vector<uint8_t> long_cdb = wrapper(5, 0, false, {0x00});
    long_cdb[14] = 17;
    EXPECT_FALSE(g.out(long_cdb));
}

TEST(usb_serve, an_os_error_is_a_phase_error) {
    bot_fixture f;
    fault_rule rule;
    std::string error;
    ASSERT_TRUE(fault_parse_pattern("25", &rule, &error)) << error;
    rule.kind = fault_kind::os_error;
    rule.value = 5;
    f.bridge.faults.push_back(rule);
    ASSERT_TRUE(f.out(wrapper(6, 8, true, {0x25})));
    std::vector<uint8_t> data;
    EXPECT_EQ(f.in(8, &data), bot_in_reply::stall);
    bot_clear_halt(f.state, 0x81);
    EXPECT_EQ(f.status(), (std::array<uint32_t, 3>{6, 8, 2}));
}

}  // namespace

namespace {

// A served bridge's trace reads as the lab's port writes it under `run`: OPEN when the
// device is put on the bus, its CMD lines, CLOSE when it leaves the bus.
TEST(usb_serve, the_trace_opens_and_closes_the_served_bridge) {
    std::string dir = "/tmp/mvbridge-serve-XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string error;
    ASSERT_TRUE(lab_init(dir, &error)) << error;
    lab_settings settings;
    ASSERT_TRUE(lab_load_settings(dir, &settings, &error)) << error;
    settings.trace = true;
    ASSERT_TRUE(lab_save_settings(dir, settings, &error)) << error;
    bridge_record record = make_bridge();
    record.id = "PhysicalDrive1";
    record.memories.dir = dir;
    record.state.name = "PhysicalDrive1";
    ASSERT_TRUE(lab_save_bridge(dir, record, &error)) << error;
    ASSERT_TRUE(lab_write_name(dir, "PhysicalDrive1", {record.id, false}));

    served_bridge bridge;
    ASSERT_TRUE(served_bridge_open(dir, "PhysicalDrive1", &bridge, &error)) << error;
    served_bridge_trace_open(bridge);
    const std::array<uint8_t, 16> cdb = cdb_of("00");
    block_request request;
    request.cdb = cdb.data();
    block_answer answer;
    served_bridge_request(bridge, request, answer);
    served_bridge_trace_close(bridge);

    std::ifstream in(dir + "/trace.log");
    const std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(trace,
              "OPEN PhysicalDrive1 ok\n"
              "CMD PhysicalDrive1 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 out 0 status=0 err=0\n"
              "CLOSE PhysicalDrive1\n");
    // Nothing is written while the lab does not trace.
    settings.trace = false;
    ASSERT_TRUE(lab_save_settings(dir, settings, &error)) << error;
    served_bridge_trace_open(bridge);
    std::ifstream again(dir + "/trace.log");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), trace);
    std::filesystem::remove_all(dir);
}

}  // namespace
