// A header that reaches into the tool and the lab: the include check must refuse it (the
// test library_include_check_refuses_the_tool runs the check on this folder).
#pragma once

#include <lab/lab_dir.h>

#include "cli/command.h"
