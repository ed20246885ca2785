#include "library/Checkpoint.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "graph/ByteHash.h"
#include "graph/EdgeList.h"
#include "graph/RunError.h"

namespace {

constexpr char kMagic[16] = "PATHSUITE-CKPT";
constexpr uint32_t kVersion = 1;
constexpr size_t kNameBytes = 16;
// magic, version, name, capacity, node count, input size and hash, k
constexpr size_t kHeaderBytes = 16 + 4 + kNameBytes + 8 * 5;
constexpr size_t kNodeCountAt = 16 + 4 + kNameBytes + 8;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw RunError(kStatusFailure, "checkpoint " + path + ": " + reason);
}

std::string SystemReason() { return std::strerror(errno); }

// The header, in a fixed buffer: a save allocates nothing as large as the
// scores, as it may come when memory has run short.
class Header {
 public:
  template <class T>
  void Put(const T& value) {
    PutBytes(&value, sizeof value);
  }
  void PutBytes(const void* data, size_t size) {
    std::memcpy(bytes_ + size_, data, size);
    size_ += size;
  }
  const char* data() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  char bytes_[kHeaderBytes];
  size_t size_ = 0;
};

class Reader {
 public:
  explicit Reader(const std::vector<char>& bytes) : bytes_(bytes) {}
  template <class T>
  T Get() {
    T value;
    std::memcpy(&value, bytes_.data() + at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  const char* Here() const { return bytes_.data() + at_; }
  void Skip(size_t n) { at_ += n; }

 private:
  const std::vector<char>& bytes_;
  size_t at_ = 0;
};

uint64_t HashOf(const char* data, size_t size) {
  ByteHash hash;
  hash.Update(data, size);
  return hash.Final();
}

// The whole file, or nothing when there is none.
std::optional<std::vector<char>> ReadFile(const std::string& path) {
  // Not blocking: a FIFO or a device would otherwise hold the run at its
  // start; only a regular file can be a checkpoint.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail(path, SystemReason());
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool directory = S_ISDIR(info.st_mode);
    close(fd);
    Fail(path, directory ? std::strerror(EISDIR) : "not a regular file");
  }
  std::vector<char> bytes;
  char block[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const std::string reason = SystemReason();
      close(fd);
      Fail(path, reason);
    }
    if (got == 0) break;
    bytes.insert(bytes.end(), block, block + got);
  }
  close(fd);
  return bytes;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The name of a checkpoint's file in the making: path, this, and six
// letters or digits that mkostemp picks.
constexpr char kTempMark[] = ".tmp-";

// A new, empty file beside path; its name is stored in tempPath.
int CreateBeside(const std::string& path, std::string& tempPath) {
  std::vector<char> name(path.begin(), path.end());
  const char suffix[] = ".tmp-XXXXXX";
  static_assert(sizeof suffix == sizeof kTempMark + 6);
  name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the NUL
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) Fail(path, "cannot create a file beside it: " + SystemReason());
  tempPath = name.data();
  return fd;
}

// Whether the last 8 bytes seal the rest, with the node count field read
// as `nodeCount`: a file whose count was changed after it was sealed is
// whole, and so corrupt, not truncated.
bool SealedWithCount(const std::vector<char>& bytes, int64_t nodeCount) {
  std::vector<char> copy(bytes.begin(), bytes.end() - 8);
  std::memcpy(copy.data() + kNodeCountAt, &nodeCount, sizeof nodeCount);
  uint64_t seal;
  std::memcpy(&seal, bytes.data() + bytes.size() - 8, 8);
  return seal == HashOf(copy.data(), copy.size());
}

// The node count that the file's length implies, or -1 when no count fits it.
int64_t CountOfLength(size_t size) {
  if (size < kHeaderBytes + 8 || (size - kHeaderBytes - 8) % 8 != 0) return -1;
  return static_cast<int64_t>((size - kHeaderBytes - 8) / 8);
}

// A file shorter than its node count says: cut short, unless the count
// itself is what changed (its length, with another count, is sealed).
[[noreturn]] void FailShort(const std::string& path, const std::vector<char>& bytes,
                            int64_t nodeCount) {
  const int64_t fits = CountOfLength(bytes.size());
  if (fits >= 0 && SealedWithCount(bytes, fits)) {
    Fail(path, "corrupt: node count " + std::to_string(nodeCount) + " does not fit its length");
  }
  Fail(path, "truncated");
}

}  // namespace

std::optional<CheckpointState> Checkpoint_Read(const std::string& path,
                                               const CheckpointIdentity& run) {
  const std::optional<std::vector<char>> file = ReadFile(path);
  if (!file) return std::nullopt;
  const std::vector<char>& bytes = *file;
  // Fewer bytes than the magic, all of them its start: a file cut short.
  const size_t head = std::min(bytes.size(), sizeof kMagic);
  if (head > 0 && std::memcmp(bytes.data(), kMagic, head) != 0) Fail(path, "not a checkpoint file");
  if (bytes.size() < kHeaderBytes) Fail(path, "truncated");
  Reader in(bytes);
  in.Skip(sizeof kMagic);
  const auto version = in.Get<uint32_t>();
  if (version != kVersion) {
    Fail(path, "format version " + std::to_string(version) + ", not " + std::to_string(kVersion));
  }
  const std::string program(in.Here(), strnlen(in.Here(), kNameBytes));
  in.Skip(kNameBytes);
  const auto capacity = in.Get<int64_t>();
  const auto nodeCount = in.Get<int64_t>();
  const auto inputSize = in.Get<uint64_t>();
  const auto inputHash = in.Get<uint64_t>();
  const auto sourcesDone = in.Get<int64_t>();
  if (nodeCount < 0) Fail(path, "corrupt: node count out of range");
  if (static_cast<uint64_t>(nodeCount) > (bytes.size() - kHeaderBytes) / 8) {
    FailShort(path, bytes, nodeCount);
  }
  const size_t size = kHeaderBytes + 8 * static_cast<size_t>(nodeCount) + 8;
  if (bytes.size() < size) FailShort(path, bytes, nodeCount);
  if (bytes.size() > size) Fail(path, "corrupt: longer than its header says");
  uint64_t seal;
  std::memcpy(&seal, bytes.data() + size - 8, 8);
  if (seal != HashOf(bytes.data(), size - 8)) Fail(path, "corrupt: checksum mismatch");
  if (program != run.program) Fail(path, "made by " + program + ", not " + run.program);
  if (capacity != run.capacity) {
    Fail(path, "made with node capacity " + std::to_string(capacity) + ", not " +
                   std::to_string(run.capacity));
  }
  if (inputSize != run.inputSize || inputHash != run.inputHash || nodeCount != run.nodeCount) {
    Fail(path, "made for another input file");
  }
  if (sourcesDone < 0 || sourcesDone > nodeCount) Fail(path, "corrupt: sources done out of range");
  CheckpointState state;
  state.sourcesDone = sourcesDone;
  state.scores.resize(static_cast<size_t>(nodeCount));
  std::memcpy(state.scores.data(), in.Here(), state.scores.size() * sizeof(double));
  return state;
}

void Checkpoint_Write(const std::string& path, const CheckpointIdentity& run,
                      int64_t sourcesDone, std::span<const double> scores) {
  Header header;
  header.PutBytes(kMagic, sizeof kMagic);
  header.Put(kVersion);
  char name[kNameBytes] = {};
  std::memcpy(name, run.program.data(), std::min(run.program.size(), kNameBytes));
  header.PutBytes(name, sizeof name);
  header.Put(run.capacity);
  header.Put(static_cast<int64_t>(scores.size()));
  header.Put(run.inputSize);
  header.Put(run.inputHash);
  header.Put(sourcesDone);
  assert(header.size() == kHeaderBytes);
  ByteHash seal;
  seal.Update(header.data(), header.size());
  seal.Update(scores.data(), scores.size_bytes());
  const uint64_t sealed = seal.Final();

  std::string temp;
  const int fd = CreateBeside(path, temp);
  const bool written = WriteAll(fd, header.data(), header.size()) &&
                       WriteAll(fd, reinterpret_cast<const char*>(scores.data()),
                                scores.size_bytes()) &&
                       WriteAll(fd, reinterpret_cast<const char*>(&sealed), sizeof sealed);
  if (!written || fsync(fd) != 0) {
    const std::string reason = SystemReason();
    close(fd);
    unlink(temp.c_str());
    Fail(path, "cannot write: " + reason);
  }
  if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    const std::string reason = SystemReason();
    unlink(temp.c_str());
    Fail(path, "cannot write: " + reason);
  }
  // The rename itself reaches the disk with the directory.
  const int dir = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

void Checkpoint_CheckWritable(const std::string& path) {
  std::string temp;
  const int fd = CreateBeside(path, temp);
  close(fd);
  unlink(temp.c_str());
}

void Checkpoint_Remove(const std::string& path) { unlink(path.c_str()); }

namespace {

// Whether name is base's temporary name as CreateBeside makes it.
bool IsTempName(const std::string& name, const std::string& base) {
  const std::string head = base + kTempMark;
  if (name.size() != head.size() + 6 || name.compare(0, head.size(), head) != 0) return false;
  for (size_t i = head.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// Whether the regular file at path holds what a save writes first: the
// magic, or a start of it (a crash can leave it empty or cut short).
bool StartsLikeACheckpoint(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  char head[sizeof kMagic];
  ssize_t got = -1;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) got = read(fd, head, sizeof head);
  close(fd);
  return got >= 0 && std::memcmp(head, kMagic, static_cast<size_t>(got)) == 0;
}

}  // namespace

void Checkpoint_RemoveLeftovers(const std::string& path) {
  const std::string dir = DirectoryOf(path);
  const std::string base = BaseOf(path);
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return;  // the save reports what is wrong there
  std::vector<std::string> leftovers;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (IsTempName(name, base)) leftovers.push_back(dir + "/" + name);
  }
  closedir(listing);
  for (const std::string& temp : leftovers) {
    if (StartsLikeACheckpoint(temp)) unlink(temp.c_str());
  }
}

namespace {

template <class T>
void HashAll(ByteHash& hash, const std::vector<T>& values) {
  if (!values.empty()) hash.Update(values.data(), values.size() * sizeof(T));
}

}  // namespace

void Checkpoint_HashGraph(ByteHash& hash, const EdgeList& edges) {
  HashAll(hash, edges.names.bytes);
  HashAll(hash, edges.names.ends);
  HashAll(hash, edges.ends);
  HashAll(hash, edges.weights);
}
