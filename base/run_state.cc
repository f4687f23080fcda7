#include "base/run_state.h"

run_state state;
