// `serve NAME --usbredir SOCKET`: one lab bridge as a USB mass-storage device on a
// virtual machine's USB bus (lab/usb/usbredir/usbredir_link.h).
#include "lab/usb/usbredir/usbredir_link.h"
#include "lab/verbs/verbs.h"

int verb_serve(const std::string& dir, const verb_args& args) {
    if (args.size() != 3 || args[1] != "--usbredir" || args[2].empty()) return verb_usage_of("serve");
    device_ref ref;
    std::string error;
    if (!resolve_device(dir, args[0], &ref, &error)) return verb_fail(error);
    if (ref.entry.cdrom) return verb_fail(ref.name + " is a CD-ROM volume; serve its bridge");
    return serve_over_usbredir(dir, ref.name, args[2]);
}
