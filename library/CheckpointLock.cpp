#include "library/CheckpointLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "graph/RunError.h"
#include "library/Checkpoint.h"

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw RunError(kStatusFailure, "checkpoint " + path + ": " + reason);
}

// The holder's "PID HOST" that the lock file holds, for the message of a
// run turned away; empty when it cannot be read.
std::string HolderOf(int fd) {
  char text[256];
  const ssize_t got = pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return "";
  std::string holder(text, static_cast<size_t>(got));
  const size_t space = holder.find(' ');
  const size_t end = holder.find('\n');
  if (space == std::string::npos || end == std::string::npos || end < space) return "";
  return " (process " + holder.substr(0, space) + " on " +
         holder.substr(space + 1, end - space - 1) + ")";
}

void WriteHolder(int fd) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  const std::string text = std::to_string(getpid()) + " " + host + "\n";
  if (ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t wrote = pwrite(fd, text.data(), text.size(), 0);
  }
}

// Whether fd is still the file at path: a run that ended removes its lock
// file, so one opened just before that is locked in vain.
bool StillThere(int fd, const std::string& path) {
  struct stat open {}, named {};
  return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

}  // namespace

std::string CheckpointLock::LockPath(const std::string& path) { return path + ".lock"; }

CheckpointLock::CheckpointLock(const std::string& path) : lockPath_(LockPath(path)) {
  for (;;) {
    fd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    created_ = fd_ >= 0;
    if (fd_ < 0 && errno == EEXIST) {
      fd_ = open(lockPath_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
      if (fd_ < 0 && errno == ENOENT) continue;  // removed between the two opens
    }
    if (fd_ < 0) Fail(path, std::string("cannot create a file beside it: ") + std::strerror(errno));
    int locked;
    do {
      locked = flock(fd_, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0 && errno == EWOULDBLOCK) {
      const std::string holder = HolderOf(fd_);
      close(fd_);
      fd_ = -1;
      Fail(path, "another run holds it" + holder);
    }
    if (locked != 0) break;  // no locks here: the run goes on without
    if (StillThere(fd_, lockPath_)) {
      held_ = true;
      break;
    }
    close(fd_);
  }
  // Without the lock another run may be saving: its files stay.
  if (!held_) return;
  WriteHolder(fd_);
  Checkpoint_RemoveLeftovers(path);
}

void CheckpointLock::Release() {
  if (fd_ < 0) return;
  // Removed while still held, so that no other run takes the name's file
  // in between and loses it.
  if (held_ || created_) unlink(lockPath_.c_str());
  close(fd_);
  fd_ = -1;
}
