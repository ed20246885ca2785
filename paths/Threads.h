// How many threads a run may use by default.
#pragma once

#include <string_view>

// The CPUs this process may run on: its affinity mask, capped by the CPU
// quota of its cgroup (cgroup v2 cpu.max, on the way from its own group to
// the root), so that a container limited to two CPUs' worth of time starts
// two threads, not one per CPU of the host. At least 1.
unsigned Threads_Available();

// The thread count of a run: requested when it is not 0, else this
// process's share of Threads_Available() when `sharers` processes (the ranks
// of a cluster job on one machine) share its CPUs. At least 1. The one place
// a default thread count is worked out.
unsigned Threads_Resolve(unsigned requested, unsigned sharers = 1);

// The CPUs' worth of time that a cpu.max line ("QUOTA PERIOD", or "max
// PERIOD" for none) allows, rounded up; 0 for no limit or a line that does
// not parse.
unsigned Threads_QuotaLimit(std::string_view cpuMax);
