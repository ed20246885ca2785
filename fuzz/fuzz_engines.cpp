// libFuzzer target: arbitrary bytes as an edge-list file, run through the
// loader and the anybridge and anypairs drivers with a small capacity. The
// fast engine, on one and on two threads and with either selection queue,
// must print byte for byte what the reference prints, or fail with the same
// RunError. Any other exception, a difference, or output written before a
// failure aborts the run.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "graph/RunError.h"
#include "paths/FastWorkspace.h"
#include "library/ProgramTable.h"

namespace {

struct Outcome {
  bool failed = false;
  int status = 0;
  std::string text;  // the output, or the error message when failed
};

// The input lives in a memory file, so the loader opens a real path without
// the fuzzer touching the disk.
struct InputFile {
  int fd;
  std::string path;
};

const InputFile& Input() {
  static const InputFile file = [] {
    const int fd = memfd_create("fuzz-input", 0);
    if (fd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    return InputFile{fd, "/proc/self/fd/" + std::to_string(fd)};
  }();
  return file;
}

void WriteInput(const uint8_t* data, size_t size) {
  const int fd = Input().fd;
  if (ftruncate(fd, 0) != 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
}

[[noreturn]] void Report(const char* what, const std::string& detail) {
  std::fprintf(stderr, "\n*** %s\n%s\n", what, detail.c_str());
  std::abort();
}

// How a comparison runs a driver: the reference or the fast engine, on a
// thread count, with the heap-to-radix limit of the fast engine's searches.
struct TestEngine {
  bool reference = false;
  unsigned threads = 0;
  std::optional<int32_t> heapLimit = std::nullopt;
};

Outcome Run(Deliverable which, TestEngine engine) {
  RunOptions options;
  options.threads = engine.threads;
  const EngineChoice choice{engine.reference, engine.heapLimit};
  const RunSettings settings = RunSettings_For(which);
  const std::vector<std::string> args = {Input().path, "0", "64"};
  std::ostringstream out;
  Outcome outcome;
  try {
    if (which == Deliverable::Anybridge) {
      Betweenness_Run(settings, args, out, options, choice);
    } else {
      Pairs_Run(settings, args, out, options, choice);
    }
    outcome.text = out.str();
  } catch (const RunError& e) {
    if (!out.str().empty()) Report("output written before a failure", out.str());
    outcome.failed = true;
    outcome.status = e.status();
    outcome.text = e.what();
  } catch (const std::exception& e) {
    Report("an exception other than RunError", e.what());
  }
  return outcome;
}

void Compare(Deliverable which, const char* label) {
  const Outcome expected = Run(which, TestEngine{true, 1});
  // One and two threads; then searches that move from the heap to the radix
  // queue at once or after two nodes, which inputs this small never make
  // them do by themselves.
  const TestEngine engines[] = {{false, 1, {}}, {false, 2, {}},
                                  {false, 1, 0}, {false, 2, 2}};
  for (const TestEngine& engine : engines) {
    const Outcome actual = Run(which, engine);
    if (actual.failed != expected.failed || actual.status != expected.status ||
        actual.text != expected.text) {
      Report("fast engine differs from the reference",
             std::string(label) + ", threads " + std::to_string(engine.threads) + ", heap limit " +
                 std::to_string(engine.heapLimit.value_or(kDefaultHeapLimit)) +
                 "\n--- reference" + (expected.failed ? " (failed)" : "") + ":\n" +
                 expected.text + "\n--- fast" + (actual.failed ? " (failed)" : "") + ":\n" +
                 actual.text);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteInput(data, size);
  Compare(Deliverable::Anybridge, "anybridge");
  Compare(Deliverable::Anypairs, "anypairs");
  return 0;
}
