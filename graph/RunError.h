// The one way a run fails: a message, what it is about and the exit status
// a program ends with. The library's public error type, under the name the
// engine's modules use.
#pragma once

#include "pathsuite/error.h"

using RunError = pathsuite::Error;
using pathsuite::kStatusFailure;
using pathsuite::kStatusUsage;
