// The lab directory's small files: lab.conf (the lab's settings) and names/NAME (the
// device a name leads to), and the device names and paths that choose those files. Any
// text must read as sound settings or be refused; settings that read save and read back
// the same; lab time and lab sleeps stay defined whatever the anchors and factor; a name
// file never leads outside the lab's bridges folder; and a name or path a user or the
// tool gives only ever reaches one of the lab's twenty names.
//
// Input: the first byte modulo 3 chooses: 0 lab.conf, 1 a name file, 2 a name or path.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "lab/host/lab_dir.h"
#include "lab/host/names.h"

namespace {

bool id_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

void check_settings(const std::string& text) {
    lab_settings settings;
    std::string why;
    if (!lab_parse_settings(text, &settings, &why)) {
        require(!why.empty());
        return;
    }
    require(settings.time_factor != 0);
    lab_settings back;
    require(lab_parse_settings(lab_settings_text(settings), &back, &why));
    require(back.trace == settings.trace && back.time_factor == settings.time_factor);
    require(back.step_time == settings.step_time);
    require(back.anchor_real_ms == settings.anchor_real_ms && back.anchor_lab_ms == settings.anchor_lab_ms);

    require(lab_time_ms(settings) >= 0);
    for (const uint32_t ms : {0u, 1u, 1000u, 0xFFFFFFFFu}) lab_sleep_real_us(settings, ms);
    for (const uint32_t factor : {1u, 1000u, 1000000u}) {
        lab_settings changed = settings;
        lab_set_time_factor(changed, factor);
        require(lab_time_ms(changed) >= 0);
    }
    // Step time never runs backwards, whatever the anchors, and a switch keeps it defined.
    for (const bool step : {false, true}) {
        lab_settings changed = settings;
        lab_set_step_time(changed, step);
        const int64_t before = lab_time_ms(changed);
        require(before >= 0);
        lab_step_time(changed, 0xFFFFFFFFu);
        require(lab_time_ms(changed) >= (step ? before : 0));
    }
}

void check_name(const std::string& text) {
    name_entry entry;
    if (!lab_parse_name_entry(text, &entry)) return;
    require(!entry.id.empty() && entry.id.size() <= 32);
    for (const char c : entry.id) require(id_character(c));
}

void check_device_name(const std::string& text) {
    std::string name;
    const std::vector<std::string>& all = lab_all_names();
    if (lab_normalize_name(text, &name)) require(std::find(all.begin(), all.end(), name) != all.end());
    if (lab_name_of_path(text, &name)) {
        require(std::find(all.begin(), all.end(), name) != all.end());
        std::string again;
        require(lab_name_of_path(lab_path_of_name(name), &again) && again == name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text = input_text(data + 1, size - 1);
    switch (data[0] % 3) {
        case 0: check_settings(text); break;
        case 1: check_name(text); break;
        default: check_device_name(text); break;
    }
    return 0;
}
