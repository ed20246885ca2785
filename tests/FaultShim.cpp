// A library that the tests preload into the real executables to make one
// kind of system call fail on the files whose path holds a given text, as
// a full disk, a failing device or a network file system would:
//
//   PATHSUITE_FAULT=CALL:TEXT:WHAT[:N]
//
// CALL is write, fsync, fsyncdir (fsync of a directory), close, rename
// (matched on the old name) or read; WHAT is an errno name (ENOSPC, EIO,
// EXDEV) or KILL, which ends the process with SIGKILL in the call, as a
// crash would. N: the call fails from the N-th matching one on (default
// 1); for write, the bytes that go through first (default 0).
// Without PATHSUITE_FAULT every call goes straight through.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Fault {
  std::string call;
  std::string text;
  int error = 0;  // 0: SIGKILL
  long long from = 1;
};

// Parsed at the first call that asks.
const Fault* TheFault() {
  static const Fault* fault = [] () -> const Fault* {
    const char* setting = std::getenv("PATHSUITE_FAULT");
    if (setting == nullptr || *setting == '\0') return nullptr;
    auto* f = new Fault;
    std::string rest = setting;
    auto next = [&rest] {
      const size_t colon = rest.find(':');
      std::string piece = rest.substr(0, colon);
      rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
      return piece;
    };
    f->call = next();
    f->text = next();
    const std::string what = next();
    const std::string from = next();
    if (!from.empty()) f->from = std::atoll(from.c_str());
    f->error = what == "ENOSPC" ? ENOSPC : what == "EIO" ? EIO : what == "EXDEV" ? EXDEV : 0;
    if (f->error == 0 && what != "KILL") {
      std::fprintf(stderr, "PATHSUITE_FAULT: unknown fault '%s'\n", what.c_str());
      std::abort();
    }
    return f;
  }();
  return fault;
}

std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  const ssize_t n = readlink(link, path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

bool IsDirectory(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

std::atomic<long long> gMatches{0};
std::atomic<long long> gWritten{0};

// Whether this matching call fails: from the N-th on.
bool Strikes(const Fault& f) { return ++gMatches >= f.from; }

int Fail(const Fault& f) {
  if (f.error == 0) raise(SIGKILL);
  errno = f.error;
  return -1;
}

template <class Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
  static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  const Fault* f = TheFault();
  if (f == nullptr || f->call != "write" || PathOf(fd).find(f->text) == std::string::npos) {
    return real(fd, data, size);
  }
  // The first N bytes go through, as on a disk that fills up part-way.
  const long long room = f->from - gWritten.load();
  if (room <= 0) return Fail(*f);
  const ssize_t n = real(fd, data, std::min<size_t>(size, static_cast<size_t>(room)));
  if (n > 0) gWritten += n;
  return n;
}

ssize_t read(int fd, void* data, size_t size) {
  static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  const Fault* f = TheFault();
  if (f != nullptr && f->call == "read" && PathOf(fd).find(f->text) != std::string::npos &&
      Strikes(*f)) {
    return Fail(*f);
  }
  return real(fd, data, size);
}

int fsync(int fd) {
  static const auto real = Next<int (*)(int)>("fsync");
  const Fault* f = TheFault();
  if (f != nullptr && (f->call == "fsync" || f->call == "fsyncdir") &&
      (f->call == "fsyncdir") == IsDirectory(fd) &&
      PathOf(fd).find(f->text) != std::string::npos && Strikes(*f)) {
    return Fail(*f);
  }
  return real(fd);
}

// As a network file system does: the file is closed, and a write it held
// back is reported as failed.
int close(int fd) {
  static const auto real = Next<int (*)(int)>("close");
  const Fault* f = TheFault();
  const bool strikes = f != nullptr && f->call == "close" &&
                       PathOf(fd).find(f->text) != std::string::npos && Strikes(*f);
  const int closed = real(fd);
  return strikes ? Fail(*f) : closed;
}

int rename(const char* from, const char* to) {
  static const auto real = Next<int (*)(const char*, const char*)>("rename");
  const Fault* f = TheFault();
  if (f != nullptr && f->call == "rename" && std::strstr(from, f->text.c_str()) != nullptr &&
      Strikes(*f)) {
    return Fail(*f);
  }
  return real(from, to);
}

}  // extern "C"
