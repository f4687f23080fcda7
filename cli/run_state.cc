#include "cli/run_state.h"

run_state state;
