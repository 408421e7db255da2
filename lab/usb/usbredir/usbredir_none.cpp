// A build without libusbredirparser: the verb exists and says what it lacks.
#include <cstdio>

#include "lab/usb/usbredir/usbredir_link.h"

int serve_over_usbredir(const std::string&, const std::string&, const std::string&) {
    std::fprintf(stderr,
                 "mvbridge-lab: this build has no usbredir support (install libusbredirparser-dev and rebuild)\n");
    return 1;
}
