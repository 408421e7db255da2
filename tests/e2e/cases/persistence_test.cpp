// A lab directory between processes: state that survives, locking, and directories that
// are missing or damaged.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "lab_fixture.h"

namespace {

class persistence_e2e : public lab_test {};

// Running the tool on a missing directory or one that is no lab is one line of error, not
// a machine without bridges; a directory that is not a lab is left alone.
TEST_F(persistence_e2e, missing_or_foreign_directory_is_no_lab) {
    const std::string missing = dir_ + "/missing";
    for (const std::vector<std::string>& command : {std::vector<std::string>{"query", drive_path(1)}, {"scan"}}) {
        std::vector<std::string> args = {missing, "run"};
        args.insert(args.end(), command.begin(), command.end());
        const process_result result = run_process(MVBRIDGE_LAB_PATH, args);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "mvbridge-lab: " + missing + ": not a lab directory (no lab.conf)\n");
        EXPECT_EQ(result.status, 1);
    }
    write_lab_file("notes.txt", "mine\n");
    expect_lab_error({"run", "scan"}, "mvbridge-lab: " + dir_ + ": not a lab directory (no lab.conf)\n");
    expect_lab_error({"create", "PhysicalDrive1"},
                     "mvbridge-lab: " + dir_ + ": not a lab directory (no lab.conf) and not empty\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/lab.conf"));
}

// A damaged state file gives one line of error and no device, whatever the damage.
TEST_F(persistence_e2e, damaged_state_file_gives_one_line_error_and_no_device) {
    const std::string head = "mvbridge-lab bridge 1\nname PhysicalDrive1\n";
    const std::string damaged[] = {
        "",
        "mvbridge-lab bridge 9\nname PhysicalDrive1\ndata\n",
        std::string("\x00\xFF\x13\n\x7F", 5),
        head,  // no data line
        head + "colour blue\ndata\n",
        head + "chip_id 0xZZ\ndata\n",
        head + "chip_id 0x100000000\ndata\n",
        head + "vendor ABCDEFGHI\ndata\n",  // text too long
        head + "model A%4\ndata\n",         // bad escape
        head + "disk floppy\ndata\n",
        "mvbridge-lab bridge 1\ndata\n",  // no name
        head + "fault E2,XX --status 2\ndata\n",
        head + "blob flash_pg 4096\ndata\n",  // blob announced, bytes missing
        head + "blob flash_pg 16\ndata\n" + std::string(16, 'x'),
        head + "blob flash_pg 4294967295\ndata\nxyz",
        head + "data\ntrailing",  // bytes beyond the blobs
        head + "blob rom 4\ndata\nabcd",
    };
    lab_ok({"create", "PhysicalDrive1"});
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content.substr(0, 60));
        write_lab_file("bridges/PhysicalDrive1.state", content);
        const process_result show = lab({"show", "PhysicalDrive1"});
        EXPECT_EQ(show.status, 1);
        EXPECT_TRUE(
            show.err.starts_with("mvbridge-lab: " + dir_ + "/bridges/PhysicalDrive1.state: corrupt device state ("))
            << show.err;
        EXPECT_EQ(std::count(show.err.begin(), show.err.end(), '\n'), 1);
        // The tool's output is what it prints for any path that does not open; the lab
        // adds the reason on standard error.
        const process_result query = lab({"run", "query", drive_path(1)});
        EXPECT_EQ(query.out, "invalid dev path\n");
        EXPECT_EQ(query.err, show.err);
        EXPECT_EQ(lab({"set", "PhysicalDrive1", "disk_state", "3"}).status, 1);
    }
    const process_result scan = lab({"run", "scan"});
    EXPECT_EQ(scan.out, "");
    EXPECT_TRUE(scan.err.starts_with("mvbridge-lab: " + dir_ + "/bridges/PhysicalDrive1.state: corrupt")) << scan.err;
}

// A state file without one of the bridge's identity keys is damaged, not a bridge with a
// zero UUID or an empty vendor.
TEST_F(persistence_e2e, a_state_file_missing_an_identity_key_is_corrupt) {
    lab_ok({"create", "PhysicalDrive1"});
    const std::string state = read_lab_file("bridges/PhysicalDrive1.state");
    for (const std::string key : {"uuid", "chip_id", "vendor", "revision", "kind"}) {
        SCOPED_TRACE(key);
        const size_t at = state.find("\n" + key + " ");
        ASSERT_NE(at, std::string::npos);
        write_lab_file("bridges/PhysicalDrive1.state",
                       state.substr(0, at + 1) + state.substr(state.find('\n', at + 1) + 1));
        const std::string error = "mvbridge-lab: " + dir_ +
                                  "/bridges/PhysicalDrive1.state: corrupt device state (missing key '" + key + "')\n";
        expect_lab_error({"show", "PhysicalDrive1"}, error);
        const process_result uuid = lab({"run", "get_uuid", drive_path(1)});
        EXPECT_EQ(uuid.out, "invalid dev path\n");
        EXPECT_EQ(uuid.err, error);
    }
    write_lab_file("bridges/PhysicalDrive1.state", state);
    EXPECT_EQ(lab({"show", "PhysicalDrive1"}).status, 0);
}

// A damaged name file is listed by `show` and named when asked for, not dropped.
TEST_F(persistence_e2e, a_damaged_name_file_is_reported) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "PhysicalDrive2"});
    write_lab_file("names/PhysicalDrive2", "bridg\x01e PhysicalDrive2\n");
    const std::string error = "mvbridge-lab: " + dir_ + "/names/PhysicalDrive2: damaged name file\n";
    const process_result show = lab({"show"});
    EXPECT_EQ(show.status, 1);
    EXPECT_NE(show.out.find("PhysicalDrive1 bridge"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("PhysicalDrive2 damaged name file\n"), std::string::npos) << show.out;
    EXPECT_EQ(show.err, error);
    expect_lab_error({"show", "PhysicalDrive2"}, error);
    const process_result query = lab({"run", "query", drive_path(2)});
    EXPECT_EQ(query.out, "invalid dev path\n");
    EXPECT_EQ(query.err, error);
}

// A name file leading outside the bridges or to no record opens nothing; a damaged lab.conf
// is one line of error, for the tool too.
TEST_F(persistence_e2e, damaged_lab_files_give_no_device) {
    lab_ok({"create", "PhysicalDrive1"});
    write_lab_file("names/PhysicalDrive2", "bridge ../../etc/passwd\n");
    write_lab_file("names/PhysicalDrive3", "bridge Nowhere\n");
    for (const auto& [drive, reason] : {std::pair{2, "names/PhysicalDrive2: damaged name file"},
                                        std::pair{3, "bridges/Nowhere.state: cannot read the device state"}}) {
        const process_result query = lab({"run", "query", drive_path(drive)});
        EXPECT_EQ(query.out, "invalid dev path\n");
        EXPECT_EQ(query.err, "mvbridge-lab: " + dir_ + "/" + reason + "\n");
    }
    write_lab_file("lab.conf", "mvbridge-lab lab 1\ntime_factor zero\n");
    expect_lab_error({"show"}, "mvbridge-lab: " + dir_ + ": lab.conf is corrupt ('time_factor zero')\n");
    expect_lab_error({"run", "query", drive_path(1)},
                     "mvbridge-lab: " + dir_ + ": lab.conf is corrupt ('time_factor zero')\n");
}

TEST_F(persistence_e2e, concurrent_processes_are_serialised_per_request) {
    lab_ok({"create", "PhysicalDrive1"});
    // A rule that never fires but counts every disk status request.
    lab_ok({"fault", "PhysicalDrive1", "add", "E2 .. .. .. BB", "--status", "2", "--after", "1000000"});
    constexpr int k_processes = 4;
    constexpr int k_runs = 10;
    std::vector<pid_t> children;
    for (int p = 0; p < k_processes; ++p) {
        const pid_t pid = fork();
        if (pid == 0) {
            bool all_ok = true;
            for (int i = 0; i < k_runs; ++i) {
                const process_result r = run_process(MVBRIDGE_LAB_PATH, {dir_, "run", "query", drive_path(1)});
                all_ok = all_ok && r.out == drive_path(1) + " " + k_nvme_bridge_name + "\n" + k_nvme_disk_line + "\n";
            }
            _exit(all_ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(lab_ok({"fault", "PhysicalDrive1", "list"}),
              "1: E2 .. .. .. BB --status 2 --sense 00/00/00 --after 1000000 (matched " +
                  std::to_string(k_processes * k_runs) + ")\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/bridges/PhysicalDrive1.state.tmp"));
}

}  // namespace

// Sixteen processes change one bridge at once with commands that read a whole memory,
// change a piece and write it back. Each process holds the device from open to close, so
// no change is lost: every LED setting, PG field and customer page ends as its last
// writer left it, as the same commands run one after another on a second bridge leave it.
TEST_F(persistence_e2e, concurrent_processes_lose_no_update) {
    lab_ok({"create", "PhysicalDrive1"});
    lab_ok({"create", "PhysicalDrive2"});
    constexpr int k_processes = 16;
    constexpr int k_rounds = 3;
    const std::vector<std::string> pg_setters = {"pg_set_vid", "pg_set_pid", "pg_set_sn", "pg_set_usb_speed"};
    // Process p's commands after the path, in order: its own LED (state p % 4, LED p / 4),
    // a PG field for the first four, the customer page for the next four.
    const auto commands_of = [&](int p) {
        std::vector<std::vector<std::string>> out;
        for (int round = 0; round < k_rounds; ++round) {
            const std::string value = std::to_string(16 * round + p + 1);
            out.push_back({"led_set_stable", std::to_string(p % 4), std::to_string(p / 4), value});
            if (p < 4) {
                const std::string field = p == 2 ? "SN" + value : p == 3 ? (round % 2 == 0 ? "5" : "3") : value;
                out.push_back({pg_setters[static_cast<size_t>(p)], field});
            } else if (p < 8) {
                out.push_back({"set_cust_page", "page of process " + std::to_string(p) + " round " + value});
            }
        }
        return out;
    };
    const auto run_all = [&](int drive, int p) {
        bool all_ok = true;
        for (std::vector<std::string> command : commands_of(p)) {
            command.insert(command.begin() + 1, drive_path(drive));
            command.insert(command.begin(), {dir_, "run"});
            all_ok = run_process(MVBRIDGE_LAB_PATH, command).status == 0 && all_ok;
        }
        return all_ok;
    };
    std::vector<pid_t> children;
    for (int p = 0; p < k_processes; ++p) {
        const pid_t pid = fork();
        if (pid == 0) _exit(run_all(1, p) ? 0 : 1);
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < k_processes; ++p) ASSERT_TRUE(run_all(2, p));
    for (int p = 0; p < k_processes; ++p) {
        const std::vector<std::string> led = {std::to_string(p % 4), std::to_string(p / 4)};
        EXPECT_EQ(run_on(1, "led_get_stable", led), run_on(2, "led_get_stable", led)) << p;
    }
    for (const char* getter : {"pg_get_vid", "pg_get_pid", "pg_get_sn", "pg_get_usb_speed"}) {
        EXPECT_EQ(run_on(1, getter), run_on(2, getter)) << getter;
    }
    // The page is one process's last page, whole.
    const std::string page = run_on(1, "get_cust_page");
    bool whole = false;
    for (int p = 4; p < 8; ++p) {
        lab_ok({"run", "set_cust_page", drive_path(2), commands_of(p).back().back()});
        whole = whole || page == run_on(2, "get_cust_page");
    }
    EXPECT_TRUE(whole) << page;
}
