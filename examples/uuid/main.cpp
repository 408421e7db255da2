// bridge_uuid DEVICE-PATH: prints the UUID of the Morvelt bridge at DEVICE-PATH, or why it
// could not, on one line. Exits with 0 only when the UUID was read.
#include <cstdint>
#include <cstdio>

#include <zelko/bridge/bridge_info.h>
#include <zelko/device/discovery.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DEVICE-PATH\n", argc > 0 ? argv[0] : "bridge_uuid");
        return 2;
    }
    const char* path = argv[1];
    zelko::bridge_dev_ptr dev = zelko::dev_open(path);
    if (!dev) {
        std::fprintf(stderr, "%s: cannot open the device (missing, or no permission)\n", path);
        return 1;
    }
    if (!zelko::is_bridge(dev.get())) {
        std::fprintf(stderr, "%s: not a Morvelt USB bridge\n", path);
        zelko::dev_close(dev);
        return 1;
    }
    uint32_t uuid = 0;
    const zelko::cmd_status status = zelko::get_uuid(dev.get(), &uuid);
    zelko::dev_close(dev);
    if (status != 0) {
        std::fprintf(stderr, "%s: the bridge did not give its UUID (status %d)\n", path, status);
        return 1;
    }
    std::printf("%08x\n", uuid);
    return 0;
}
