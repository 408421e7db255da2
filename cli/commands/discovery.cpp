#include "cli/commands/discovery.h"

#include <cstdio>

namespace zelko {

namespace {

void print_scan(bool keep_diskless) {
    const auto nodes = scan_bridges(keep_diskless);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const bridge_node& node = *nodes[i];
        if (i != 0) std::printf("\n");
        std::printf("%s\n", node.path);
        std::printf("bridge: %s\n", node.bridge);
        if (node.ident.model[0] != '\0') {
            std::printf("disk info: %s %s\n", node.ident.model, node.ident.firmware);
        } else {
            std::printf("disk info: no disk\n");
        }
    }
}

}  // namespace

void cmd_scan(command_context&) { print_scan(false); }

void cmd_dev_scan(command_context&) { print_scan(true); }

void cmd_query(command_context& ctx) {
    std::printf("%s %s\n", ctx.path(), ctx.bridge_name);
    if (ctx.ident_ok && ctx.ident->model[0] != '\0') std::printf("%s %s\n", ctx.ident->model, ctx.ident->firmware);
}

}  // namespace zelko
