#include "paths/Threads.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

unsigned AffinityCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw > 0 ? hw : 1;
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The tightest limit that `read(group)` finds from group up to the root.
template <class Read>
unsigned TightestUpwards(std::string group, Read read) {
  unsigned tightest = 0;
  for (;;) {
    const unsigned limit = read(group);
    if (limit > 0 && (tightest == 0 || limit < tightest)) tightest = limit;
    if (group.empty() || group == "/") return tightest;
    const size_t slash = group.rfind('/');
    group = slash == std::string::npos || slash == 0 ? "/" : group.substr(0, slash);
  }
}

// The CPU quota of this process's cgroup, or 0 when none applies: cgroup v2
// (cpu.max, mounted at /sys/fs/cgroup or, beside v1, /sys/fs/cgroup/unified)
// or the v1 cpu controller (cpu.cfs_quota_us over cpu.cfs_period_us).
unsigned CgroupQuota() {
  std::ifstream cgroups("/proc/self/cgroup");
  std::string line;
  unsigned tightest = 0;
  auto take = [&](unsigned limit) {
    if (limit > 0 && (tightest == 0 || limit < tightest)) tightest = limit;
  };
  while (std::getline(cgroups, line)) {
    const size_t first = line.find(':');
    const size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string group = line.substr(second + 1);
    if (controllers.empty()) {
      for (const char* root : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
        take(TightestUpwards(group, [&](const std::string& g) {
          return Threads_QuotaLimit(FirstLine(root + (g == "/" ? "" : g) + "/cpu.max"));
        }));
      }
      continue;
    }
    std::stringstream list(controllers);
    for (std::string name; std::getline(list, name, ',');) {
      if (name != "cpu") continue;
      take(TightestUpwards(group, [&](const std::string& g) {
        const std::string dir = "/sys/fs/cgroup/cpu" + (g == "/" ? "" : g);
        return Threads_QuotaLimit(FirstLine(dir + "/cpu.cfs_quota_us") + " " +
                                  FirstLine(dir + "/cpu.cfs_period_us"));
      }));
    }
  }
  return tightest;
}

}  // namespace

unsigned Threads_QuotaLimit(std::string_view cpuMax) {
  const size_t space = cpuMax.find(' ');
  if (space == std::string_view::npos) return 0;
  const std::string_view quotaText = cpuMax.substr(0, space);
  const std::string_view periodText = cpuMax.substr(space + 1);
  unsigned long long quota = 0, period = 0;
  const auto q = std::from_chars(quotaText.data(), quotaText.data() + quotaText.size(), quota);
  const auto p = std::from_chars(periodText.data(), periodText.data() + periodText.size(), period);
  if (q.ec != std::errc{} || q.ptr != quotaText.data() + quotaText.size()) return 0;  // "max"
  if (p.ec != std::errc{} || period == 0 || quota == 0) return 0;
  const unsigned long long cpus = (quota + period - 1) / period;
  return static_cast<unsigned>(std::min<unsigned long long>(cpus, 1u << 20));
}

unsigned Threads_Available() {
  const unsigned affinity = AffinityCount();
  const unsigned quota = CgroupQuota();
  return quota > 0 ? std::min(affinity, quota) : affinity;
}

unsigned Threads_Resolve(unsigned requested, unsigned sharers) {
  if (requested > 0) return requested;
  return std::max(1u, Threads_Available() / std::max(1u, sharers));
}
