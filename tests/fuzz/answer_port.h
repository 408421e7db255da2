// A platform port for fuzz targets whose devices answer from the fuzz input.
//
// Every request takes its answer from the input, in order. One control byte chooses the
// kind of answer (low three bits):
//   0-3  carried out; a data-in request receives its whole length from the input
//   4    carried out; a data-in request receives only the next byte's count of bytes,
//        the rest of its buffer is left as it was (a short transfer)
//   5    SCSI status taken from the next byte, with sense key, code and qualifier from
//        the three bytes after it
//   6    the operating system's general failure (31), which the transport retries
//   7    an operating-system error taken from the next byte (at least 1)
// An input that runs out answers every further request as a device that went away.
//
// With `genuine_identity`, the blocks that identify a bridge (INQUIRY, the chip identity
// and version registers, the configuration area read) are answered as a generation 1
// bridge answers them, without taking input, so that the input reaches the answers a
// command's handler decodes.
//
// The port writes every byte a data-in request claims and reads every byte a data-out
// request claims, so that a caller's buffer shorter than its length is caught. A scan
// tries two physical drives and one volume, all on USB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelko {

// The answers of the next command: the input bytes stay the caller's until it is done.
void answer_port_load(const uint8_t* data, size_t size, bool genuine_identity);

}  // namespace zelko
