#include "base/run_options.h"

run_options options;
