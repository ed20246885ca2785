#include "graph/RunError.h"

#include <cstring>

namespace pathsuite {

Error Error::FromErrno(const std::string& what, int error) {
  return Error(kStatusFailure, what + ": " + std::strerror(error), ErrorKind::System, error);
}

Cancelled::Cancelled(int64_t sourcesDone, int64_t total, bool saved)
    : Error(kStatusFailure,
            "stopped after " + std::to_string(sourcesDone) + " of " + std::to_string(total) +
                " sources" + (saved ? "; state saved" : "; nothing saved"),
            ErrorKind::Stopped, 0),
      sourcesDone_(sourcesDone), total_(total), saved_(saved) {}

}  // namespace pathsuite
