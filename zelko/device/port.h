// The platform port: the only interface between the tool and the operating system.
//
// Every binary links exactly one definition of these functions: the Linux port
// (device/linux), the Windows port (device/windows), the lab's emulated machine (lab/)
// or the scripted fake port of the unit tests. Retries, alignment and status
// precedence live above this interface, in scsi_send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zelko/common/export.h"

ZELKO_API_BEGIN
namespace zelko {

// An open device path. Each port defines the structure for itself.
struct port_handle;

// Which way the data phase of a request goes. A request without data (length 0) is sent
// as to_device.
enum class data_direction : uint8_t { to_device, from_device };

// Bytes of a request's command block and of its sense area.
constexpr size_t k_port_cdb_len = 16;
constexpr size_t k_port_sense_len = 32;

// One pass-through request: a k_port_cdb_len-byte command block and at most one data phase.
struct port_request {
    uint8_t cdb[k_port_cdb_len] = {};
    void* buffer = nullptr;  // data source or destination; null when length is 0
    uint32_t length = 0;     // data phase length in bytes
    data_direction direction = data_direction::to_device;
    uint32_t timeout_s = 10;
    uint8_t scsi_status = 0;               // filled by the port
    uint8_t sense[k_port_sense_len] = {};  // filled by the port (fixed-format sense data)
    uint32_t residual = 0;                 // filled by the port: bytes of the data phase not transferred
};

// One candidate path of a scan, in the order the scan tries them.
struct port_candidate_path {
    std::string path;
    bool volume = false;  // true for a volume path, false for a physical drive
};

// Opens a path for reading and writing, shared. Returns the handle, owned by the caller
// until port_close; null when the path does not open.
port_handle* port_open(const char* path);

// Closes and frees a handle returned by port_open. Null is ignored.
void port_close(port_handle* handle);

// Sends one request: `request->length` bytes at `request->buffer` go out or come in. Returns
// 0 when the request was carried out (the SCSI status, the k_port_sense_len bytes of
// sense and the residual are then in the request), else the operating system's error
// code (nonzero).
int port_pass_through(port_handle* handle, port_request* request);

// True when an error code of port_pass_through is the transient "general failure"
// that is worth sending the same request again for.
bool port_is_general_failure(int os_error);

// True when an error code of port_pass_through says the request did not complete within
// its time-out.
bool port_is_time_out(int os_error);

// Asks the bus type of an open path into `*is_usb`. Returns false, leaving `*is_usb` as it
// was, when the question itself fails.
bool port_query_bus_is_usb(port_handle* handle, bool* is_usb);

// The ordered list of paths a scan tries, by value: the caller owns it.
std::vector<port_candidate_path> port_candidate_paths();

// Time: every wait and clock read of the tool goes through these two.
void port_sleep_ms(uint32_t milliseconds);
int64_t port_time_s();

// One extra thread, started and later joined (and released) by its starter. Start returns
// null when no thread could be started; join on null does nothing.
struct port_thread;
port_thread* port_thread_start(void (*body)(void*), void* argument);
void port_thread_join(port_thread* thread);

}  // namespace zelko
ZELKO_API_END
