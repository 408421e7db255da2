// Names of the lab's devices and the device paths that reach them.
//
// A lab has the physical drives PhysicalDrive0..PhysicalDrive9 and the volume letters
// c..l. The tool reaches them through Windows paths: "\\.\PhysicalDriveN" and "\\.\X:"
// (either case of the drive letter); every other path does not open.
#pragma once

#include <string>
#include <vector>

// The twenty names in the order a scan tries their paths.
const std::vector<std::string>& lab_all_names();

// The name's Windows path, "\\.\PhysicalDrive1" or "\\.\c:".
std::string lab_path_of_name(const std::string& name);

bool lab_name_is_volume(const std::string& name);

// Maps a device path the tool opens onto a lab name. False for any other path.
bool lab_name_of_path(const std::string& path, std::string* name);

// Accepts a name as a user types it on the lab's own command line: "PhysicalDrive1"
// (any case), a drive letter "c" or "C", or a device path. False when it names no
// device of a lab.
bool lab_normalize_name(const std::string& text, std::string* name);

// True when `text` is a lab name as the lab writes it ("PhysicalDrive1", "c"), not merely
// one lab_normalize_name accepts.
bool lab_name_is_canonical(const std::string& text);
