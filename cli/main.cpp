#include "cli/dispatcher.h"

int main(int argc, char** argv) {
    zelko::run_command_line(argc, argv);
    return 0;
}
