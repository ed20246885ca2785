#include "graph/RunSettings.h"

#include <filesystem>
#include <system_error>
#include <utility>

// Where the bundled datasets lie, seen from the directory of the program.
#ifndef DATA_DIR_FROM_BIN
#define DATA_DIR_FROM_BIN "../share/pathsuite"
#endif

namespace {

// The bundled dataset `file`, found from the running executable's real
// location (symbolic links to it resolved), so one layout serves the build
// tree and any installation wherever it is put. Without /proc the path is
// left relative to the working directory, and a failed open names it.
std::string BundledDataset(const char* file) {
  const std::filesystem::path data = std::filesystem::path(DATA_DIR_FROM_BIN) / file;
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return data.string();
  return (exe.parent_path() / data).lexically_normal().string();
}

// A dataset path given at configuration wins over the bundled file.
std::string MainDataset() {
#ifdef MAIN_DATASET_PATH
  return MAIN_DATASET_PATH;
#else
  return BundledDataset("main.txt");
#endif
}

std::string CompanionDataset() {
#ifdef COMPANION_DATASET_PATH
  return COMPANION_DATASET_PATH;
#else
  return BundledDataset("companion.txt");
#endif
}

// An empty path marks a program that takes its input from the command line.
RunSettings Make(const char* name, int width, int lineWidth, int32_t capacity, std::string path,
                 WeightRule rule, EdgeFilter filter) {
  const bool fromCommandLine = path.empty();
  return RunSettings{name,   width, width + 1, lineWidth, capacity, fromCommandLine,
                     std::move(path), rule, filter, 8000};
}

}  // namespace

RunSettings RunSettings_For(Deliverable which) {
  constexpr auto kRecip = WeightRule::Reciprocal;
  constexpr auto kRaw = WeightRule::Raw;
  constexpr auto kAll = EdgeFilter::None;
  switch (which) {
    case Deliverable::Anybridge:
      return Make("anybridge", 20, 104, 0, "", kRecip, kAll);
    case Deliverable::Plusbridge:
      return Make("plusbridge", 15, 42, kFixedCapacity, MainDataset(), kRecip,
                  EdgeFilter::Positive);
    case Deliverable::Betweenness:
      return Make("betweenness", 15, 42, kFixedCapacity, MainDataset(), kRecip, kAll);
    case Deliverable::Linkbridge:
      return Make("linkbridge", 15, 42, kFixedCapacity, CompanionDataset(), kRecip, kAll);
    case Deliverable::Spanpairs:
      return Make("spanpairs", 15, 42, kFixedCapacity, MainDataset(), kRaw, kAll);
    case Deliverable::Anypairs:
      return Make("anypairs", 16, 59, 0, "", kRaw, kAll);
  }
  throw std::logic_error("unknown deliverable");
}
