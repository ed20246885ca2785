#include "graph/RunSettings.h"

#ifndef MAIN_DATASET_PATH
#define MAIN_DATASET_PATH "data/main.txt"
#endif
#ifndef COMPANION_DATASET_PATH
#define COMPANION_DATASET_PATH "data/companion.txt"
#endif

namespace {

RunSettings Make(const char* name, int width, int lineWidth, int32_t capacity,
                 const char* path, WeightRule rule, EdgeFilter filter) {
  const bool fromCommandLine = path == nullptr;
  return RunSettings{name,          width, width + 1, lineWidth, capacity, fromCommandLine,
                     fromCommandLine ? "" : path, rule, filter, 8000};
}

}  // namespace

RunSettings RunSettings_For(Deliverable which) {
  constexpr auto kRecip = WeightRule::Reciprocal;
  constexpr auto kRaw = WeightRule::Raw;
  constexpr auto kAll = EdgeFilter::None;
  switch (which) {
    case Deliverable::Anybridge:
      return Make("anybridge", 20, 104, 0, nullptr, kRecip, kAll);
    case Deliverable::Plusbridge:
      return Make("plusbridge", 15, 42, kFixedCapacity, MAIN_DATASET_PATH, kRecip,
                  EdgeFilter::Positive);
    case Deliverable::Betweenness:
      return Make("betweenness", 15, 42, kFixedCapacity, MAIN_DATASET_PATH, kRecip, kAll);
    case Deliverable::Linkbridge:
      return Make("linkbridge", 15, 42, kFixedCapacity, COMPANION_DATASET_PATH, kRecip, kAll);
    case Deliverable::Spanpairs:
      return Make("spanpairs", 15, 42, kFixedCapacity, MAIN_DATASET_PATH, kRaw, kAll);
    case Deliverable::Anypairs:
      return Make("anypairs", 16, 59, 0, nullptr, kRaw, kAll);
  }
  throw std::logic_error("unknown deliverable");
}
