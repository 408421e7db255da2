// The bridge-services rows reach their handlers through the whole front end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "common/print_level.h"
#include "tests/unit/bridge_script.h"
#include "tests/unit/fake_port.h"
#include "tests/unit/run_tool.h"

namespace {

using namespace bridge_script;

constexpr const char* k_path = "\\\\.\\PhysicalDrive1";

class BridgeDispatch : public fake_port_test {
protected:
    void SetUp() override {
        fake_port_test::SetUp();
        set_print_level(0);
        fake::add_device({.path = k_path});
    }

    static std::string run(std::vector<std::string> words) { return run_tool(std::move(words)); }
};

TEST_F(BridgeDispatch, ApiVersionNeedsNoDevice) {
    EXPECT_EQ(run({"mvbridge", "get_api_ver"}), "1.2.3.905\n");
    EXPECT_TRUE(fake::requests().empty());
}

TEST_F(BridgeDispatch, DeviceRowRunsAfterThePreparation) {
    script_device_prep();
    fake::script_ok({1});
    EXPECT_EQ(run({"mvbridge", "gpio_get", k_path, "9"}), "gpio9 value = 1\n");
    ASSERT_EQ(fake::requests().size(), 6u);
    EXPECT_EQ(fake::hex(fake::requests()[5].cdb), "E2 00 00 00 C5 09 00 00 00 00 00 00 01 00 00 00");
}

TEST_F(BridgeDispatch, UartClearReadsTheDiskFirst) {
    script_device_prep();
    fake::script_ok(status_data(0, 1, 1));
    fake::script_ok(identify("MODEL", "FW01", "SERIAL"));
    fake::script_ok();
    EXPECT_EQ(run({"mvbridge", "uart_clear_buf", k_path}), "uart_clear_buf ok\n");
    ASSERT_EQ(fake::requests().size(), 8u);
    EXPECT_EQ(fake::hex(fake::requests()[7].cdb), "E3 00 00 00 3A 00 00 00 00 00 00 00 00 00 00 00");
}

}  // namespace
