// How many threads a run may use by default.
#pragma once

// The number of CPUs this process may run on (its affinity mask), at least 1.
unsigned Threads_Available();
