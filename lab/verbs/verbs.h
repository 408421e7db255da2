// The verbs of `mvbridge-lab DIR VERB ARGS...`. Each returns the process's exit status:
// 0 success, 1 a failure (one line on standard error), 2 a usage error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lab/host/lab_dir.h"
#include "lab/host/terminal_colour.h"

using verb_args = std::vector<std::string>;

int verb_init(const std::string& dir, const verb_args& args);
int verb_create(const std::string& dir, const verb_args& args);
int verb_show(const std::string& dir, const verb_args& args);
int verb_fill(const std::string& dir, const verb_args& args);
int verb_load(const std::string& dir, const verb_args& args);
int verb_set(const std::string& dir, const verb_args& args);
int verb_fault(const std::string& dir, const verb_args& args);
int verb_restart(const std::string& dir, const verb_args& args);
int verb_trace(const std::string& dir, const verb_args& args);
int verb_run(const std::string& dir, const verb_args& args);
int verb_serve(const std::string& dir, const verb_args& args);
int verb_complete(const std::string& dir, const verb_args& args);
int verb_mkimage(const std::string& dir, const verb_args& args);
int verb_mkled(const std::string& dir, const verb_args& args);

// The words that may stand in the place of the last of `typed` (the words after DIR, the
// last one being the prefix typed so far), for the shell completion. A missing or damaged
// lab gives what can be known without it.
std::vector<std::string> lab_completions(const std::string& dir, const verb_args& typed);

// The SECTION words `show NAME SECTION` takes.
std::vector<std::string> show_section_names();

// `show NAME leds [--color auto|always|never] [--svg FILE]` (show_leds.cpp): the LED
// memory as colour blocks or text, or with a path, an SVG of the effects written there.
int show_leds(const std::string& name, const bridge_record& record, const std::string* svg_path, colour_choice colour);

constexpr int k_exit_failure = 1;
constexpr int k_exit_usage = 2;

// Prints "mvbridge-lab: MESSAGE" on standard error and returns k_exit_failure.
int verb_fail(const std::string& message);
// Prints "usage: mvbridge-lab DIR USAGE" on standard error and returns k_exit_usage.
int verb_usage(const std::string& usage);
// The same with the usage of the verb `name` from the verb table, each of its forms a line.
int verb_usage_of(const char* name);
// The one form of verb `name` that begins with `form` ("show NAME leds"), as the usage
// error of that form; every form when none begins so.
int verb_form_usage_of(const char* name, const std::string& form);

// A device named on the lab's command line.
struct device_ref {
    std::string name;
    name_entry entry;
};

// Checks that `dir` is a readable lab and that `text` names one of its devices.
bool resolve_device(const std::string& dir, const std::string& text, device_ref* ref, std::string* error);

// Loads the device's record under its lock, runs `edit`, and saves the record when
// `edit` succeeded and left it dirty. A restart done by `edit` moves the bridge's name.
bool edit_device(const std::string& dir, const device_ref& ref,
                 const std::function<bool(bridge_record&, std::string*)>& edit, std::string* error);

// The memories `fill` and `load` take, for their errors: "flash, led, media, ...".
std::string memory_name_list();

// Option words "--chip-id" and "--chip_id" both name the key "chip_id".
std::string option_key(const std::string& option);
