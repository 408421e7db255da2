// The lab directory: its settings, its names and its device records.
//
//   DIR/lab.conf              lab settings ("key value" lines)
//   DIR/lab.lock              lock taken while settings or names change
//   DIR/names/NAME            "bridge ID" or "cdrom ID": the device a name reaches
//   DIR/bridges/ID.state      one device record (state.h)
//   DIR/bridges/ID.lock       lock taken for each request and each change of that record
//   DIR/bridges/ID.flash      the bridge's memories, read and written in place
//   DIR/bridges/ID.led        (lab/record/storage.h); missing until first written
//   DIR/bridges/ID.media
//   DIR/trace.log             the trace, when tracing is on
// Settings and name files are replaced atomically (written to a temporary file, then
// renamed over).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lab/record/state.h"

struct lab_settings {
    bool trace = false;
    uint32_t time_factor = 1;  // lab time runs this many times faster than real time
    // Step time: lab time stands still and moves only by the sleeps the tool asks for, each
    // adding its milliseconds (anchor_lab_ms is then lab time); a clock read does not move
    // it. What a tool prints over lab time is then the same on every run and machine.
    bool step_time = false;
    int64_t anchor_real_ms = 0;  // lab time = anchor_lab_ms + (real now - anchor_real_ms) x factor
    int64_t anchor_lab_ms = 0;
    // A test hook: the lab's process ends at once, as if killed, when it reaches this step
    // of moving a bridge's name (k_crash_points); empty: never.
    std::string crash_point;
};

// The steps a bridge's move to another name can be killed at: its new name written, its
// record saved under the new name.
extern const char* const k_crash_points[];
// Ends the process at once when the lab's crash point is `point`.
void lab_crash_point(const std::string& dir, const char* point);

struct name_entry {
    std::string id;
    bool cdrom = false;  // the name is the bridge's CD-ROM volume
};

std::string lab_settings_path(const std::string& dir);
std::string lab_lock_path(const std::string& dir);
std::string lab_trace_path(const std::string& dir);
std::string lab_bridge_lock_path(const std::string& dir, const std::string& id);
// DIR/bridges/ID.hold: held by a tool process from the open of the device to its close,
// so that processes run their commands on one device one at a time.
std::string lab_bridge_hold_path(const std::string& dir, const std::string& id);
// DIR/bridges/ID.SUFFIX: the files of one device.
std::string lab_bridge_file_path(const std::string& dir, const std::string& id, const std::string& suffix);

bool lab_exists(const std::string& dir);
// Makes a new lab in a missing or empty directory.
bool lab_init(const std::string& dir, std::string* error);

bool lab_load_settings(const std::string& dir, lab_settings* settings, std::string* error);
// The text of lab.conf, and its reading; `why` tells what is wrong with a text that does
// not read.
std::string lab_settings_text(const lab_settings& settings);
bool lab_parse_settings(const std::string& content, lab_settings* settings, std::string* why);
bool lab_save_settings(const std::string& dir, const lab_settings& settings, std::string* error);

// Lab time in milliseconds now, and a new factor that keeps lab time continuous. Lab
// time is never below 0.
int64_t lab_time_ms(const lab_settings& settings);
// Lab time when the real clock reads `real_now_ms`.
int64_t lab_time_at_ms(const lab_settings& settings, int64_t real_now_ms);
// Real microseconds a sleep of `milliseconds` of lab time takes.
uint64_t lab_sleep_real_us(const lab_settings& settings, uint32_t milliseconds);
void lab_set_time_factor(lab_settings& settings, uint32_t factor);
// Switches between real time (scaled by the factor) and step time, lab time continuous.
void lab_set_step_time(lab_settings& settings, bool step);
// Step time: lab time moves on by `milliseconds` (held at its largest value).
void lab_step_time(lab_settings& settings, uint32_t milliseconds);

// The text of a names/NAME file: "bridge ID" or "cdrom ID". False for any other text.
bool lab_parse_name_entry(const std::string& content, name_entry* entry);
// False when the name leads nowhere.
bool lab_read_name(const std::string& dir, const std::string& name, name_entry* entry);
// True when NAME's file exists but does not read as a name entry; `error` tells which.
bool lab_name_damaged(const std::string& dir, const std::string& name, std::string* error);
bool lab_write_name(const std::string& dir, const std::string& name, const name_entry& entry);
void lab_remove_name(const std::string& dir, const std::string& name);
// True when the name leads to a device that answers under it. A name file left behind by a
// process killed while a bridge moved to another name leads to a bridge whose record holds
// another name: such a name is stale and free to take. A record that cannot be read keeps
// its names (nothing is given away on a doubt).
bool lab_name_taken(const std::string& dir, const std::string& name, name_entry* entry);
// Every name in use, in scan order, with its entry; stale names are left out.
std::vector<std::pair<std::string, name_entry>> lab_list_names(const std::string& dir);

bool lab_bridge_exists(const std::string& dir, const std::string& id);
// Load and save one record; the caller holds the record's lock. A loaded record reaches
// its memory files in `dir`; a file of the older form is saved in the present form.
bool lab_load_bridge(const std::string& dir, const std::string& id, bridge_record* record, std::string* error);
bool lab_save_bridge(const std::string& dir, bridge_record& record, std::string* error);

// Appends one line to the trace.
void lab_append_trace(const std::string& dir, const std::string& line);
