#include "cli/Listing.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "graph/RunError.h"

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside path that no file has yet, ending in six random letters.
std::string TempName(const std::string& path, std::mt19937_64& random) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = path + ".part-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

[[noreturn]] void FailWrite(const std::string& path, int error) {
  throw RunError::FromErrno("cannot write " + path, error);
}

}  // namespace

ListingOutput::ListingOutput(std::string path, ProgressMeter* meter)
    : path_(std::move(path)),
      buffer_(path_.empty() ? FdStreamBuf(1, meter)
                            : FdStreamBuf([this] { return OpenTemp(); }, path_, meter)),
      stream_(&buffer_) {}

ListingOutput::~ListingOutput() { Discard(); }

void ListingOutput::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

// Made like a file the shell's > makes (0666 less the umask), as the listing
// takes its place.
int ListingOutput::OpenTemp() {
  std::mt19937_64 random(std::random_device{}());
  for (int tries = 0; tries < 100; ++tries) {
    const std::string name = TempName(path_, random);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp_ = name;
      fd_ = fd;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

void ListingOutput::Check() const {
  if (!ToFile()) return;
  struct stat info {};
  if (stat(path_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    throw RunError(kStatusFailure, "cannot write " + path_ + ": not a regular file");
  }
  std::mt19937_64 random(std::random_device{}());
  for (int tries = 0; tries < 100; ++tries) {
    const std::string name = TempName(path_, random);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      unlink(name.c_str());
      return;
    }
    if (errno != EEXIST) FailWrite(path_, errno);
  }
  FailWrite(path_, EEXIST);
}

void ListingOutput::Commit() {
  if (!ToFile()) return;
  if (fd_ < 0 && OpenTemp() < 0) FailWrite(path_, errno);  // an empty listing
  const int fd = fd_;
  fd_ = -1;
  if (fsync(fd) != 0) {
    const int error = errno;
    close(fd);
    FailWrite(path_, error);
  }
  if (close(fd) != 0 || rename(temp_.c_str(), path_.c_str()) != 0) FailWrite(path_, errno);
  committed_ = true;
  // The rename itself reaches the disk with the directory; until it has, a
  // crash could lose FILE, so the run does not count as done.
  const int dir = open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) FailWrite(path_, errno);
  const bool synced = fsync(dir) == 0;
  const int error = errno;
  close(dir);
  if (!synced) FailWrite(path_, error);
}
