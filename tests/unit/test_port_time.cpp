// Time and threads of the test ports (the scripted fake port and the fuzzers' answer port):
// waits return at once, the clock stands at 0, threads are standard threads.
#include <thread>

#include "zelko/device/port.h"

namespace zelko {

void port_sleep_ms(uint32_t) {}

int64_t port_time_s() { return 0; }

struct port_thread {
    std::thread thread;
};

port_thread* port_thread_start(void (*body)(void*), void* argument) {
    return new port_thread{std::thread(body, argument)};
}

void port_thread_join(port_thread* thread) {
    if (thread == nullptr) return;
    thread->thread.join();
    delete thread;
}

}  // namespace zelko
