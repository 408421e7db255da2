#include "cli/manual.h"

#include <cstdio>

void print_manual(const char*, const char* command, bool) { std::printf("wrong option: %s\n", command); }
