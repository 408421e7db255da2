// Image files and bridge answers both come from outside: any file, checked against any
// bridge and written to it, must be read without a read outside it, and a writer may
// count no more bytes than the file holds. The first two input bytes give the file's
// length; the file follows; the rest answers the bridge's requests.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "answer_port.h"
#include "zelko/device/discovery.h"
#include "fuzz_check.h"
#include "zelko/pg/image_check.h"
#include "zelko/pg/image_file.h"
#include "zelko/pg/image_write.h"

using namespace zelko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t file_len = static_cast<size_t>(data[0] & 0x7F) << 8 | data[1];
    const bool genuine = (data[0] & 0x80) != 0;
    data += 2;
    size -= 2;
    if (file_len > size) file_len = size;
    static const std::string path = "/tmp/fuzz_image_check." + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (file_len != 0) std::fwrite(data, 1, file_len, file);
    std::fclose(file);

    answer_port_load(data + file_len, size - file_len, genuine);
    bridge_dev_ptr dev = dev_open("\\\\.\\PhysicalDrive1");
    if (!dev) return 0;
    check_image(dev.get(), path.c_str(), (file_len & 1) != 0);
    std::atomic<uint32_t> progress{0};
    if (write_image(dev.get(), path.c_str(), progress) == 0) require(progress.load() == file_len);
    require(progress.load() <= file_len);
    progress = 0;
    const uint64_t led = check_led_image(path.c_str());
    require(led == 0 || led == file_len);
    if (write_led_image(dev.get(), path.c_str(), progress) == 0) require(progress.load() == led);
    require(progress.load() <= file_len);
    dev_close(dev);
    return 0;
}
