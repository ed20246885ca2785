#include "graph/EdgeList.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "graph/ByteHash.h"
#include "graph/RunError.h"

EdgeListBuilder::EdgeListBuilder(int32_t capacity)
    : capacity_(capacity), key_(Hash_ProcessKey()), slots_(1024, -1), mask_(1023) {}

uint32_t EdgeListBuilder::CodeOf(std::string_view name) const {
  return static_cast<uint32_t>(Hash_SipHash24(key_, name.data(), name.size()));
}

// Slots stay at most half full, so probes are short and one always ends.
void EdgeListBuilder::Grow() {
  const size_t size = slots_.size() * 2;
  slots_.assign(size, -1);
  mask_ = static_cast<uint32_t>(size - 1);
  for (size_t id = 0; id < codes_.size(); ++id) {
    uint32_t at = codes_[id] & mask_;
    while (slots_[at] >= 0) at = (at + 1) & mask_;
    slots_[at] = static_cast<int32_t>(id);
  }
}

int32_t EdgeListBuilder::Intern(std::string_view name) {
  const uint32_t code = CodeOf(name);
  uint32_t at = code & mask_;
  for (; slots_[at] >= 0; at = (at + 1) & mask_) {
    const int32_t id = slots_[at];
    if (codes_[static_cast<size_t>(id)] == code && list_.names.Name(id) == name) return id;
  }
  const int32_t id = list_.names.Count();
  if (id >= capacity_) return -1;
  list_.names.Add(name);
  codes_.push_back(code);
  slots_[at] = id;
  if (codes_.size() * 2 > slots_.size()) Grow();
  return id;
}

EdgeList EdgeListBuilder::Finish(uint64_t inputSize, uint64_t inputHash) {
  list_.inputSize = inputSize;
  list_.inputHash = inputHash;
  codes_ = {};
  slots_ = {};
  return std::move(list_);
}

void EdgeList_DropEdges(EdgeList& edges) {
  edges.ends = {};
  edges.weights = {};
}

namespace {

// White space as the C locale's isspace sees it.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The programs' line rules: two names and a weight, separated by blanks;
// text after the weight ignored; a NUL ends a line's content.
class LineParser {
 public:
  explicit LineParser(const RunSettings& settings)
      : settings_(settings), builder_(settings.nodeCapacity) {}

  // line is NUL-terminated at its end (its newline, if any, already cut).
  void Take(char* line) {
    lineNumber_ += 1;
    char* p = SkipBlanks(line);
    if (*p == '\0') return;  // a line of white space only
    const char* first = p;
    p = CutName(p);
    const std::string_view a(first, static_cast<size_t>(nameEnd_ - first));
    char* second = SkipBlanks(p);
    p = CutName(second);
    const std::string_view b(second, static_cast<size_t>(nameEnd_ - second));
    if (*second == '\0') Fail("expected two names and a weight");
    char* numberStart = SkipBlanks(p);
    char* numberEnd = nullptr;
    const double w = std::strtod(numberStart, &numberEnd);
    if (numberEnd == numberStart) Fail("expected two names and a weight");
    if (settings_.edgeFilter == EdgeFilter::Positive && !(w > 0.0)) return;
    const int32_t ia = Intern(a);
    const int32_t ib = Intern(b);
    builder_.AddEdge(ia, ib, w);
  }

  EdgeList Finish(const ByteHash& content) { return builder_.Finish(content.Size(), content.Final()); }

 private:
  static char* SkipBlanks(char* p) {
    while (*p != '\0' && IsBlank(*p)) ++p;
    return p;
  }

  // Ends the name at p (nameEnd_) and returns where scanning resumes; the
  // width is checked whether or not the line is kept.
  char* CutName(char* p) {
    char* end = p;
    while (*end != '\0' && !IsBlank(*end)) ++end;
    if (end - p > settings_.nameWidth) {
      Fail("name longer than " + std::to_string(settings_.nameWidth) + " bytes");
    }
    nameEnd_ = end;
    return *end == '\0' ? end : end + 1;
  }

  int32_t Intern(std::string_view name) {
    const int32_t id = builder_.Intern(name);
    if (id < 0) {
      Fail("more distinct names than the node capacity " + std::to_string(settings_.nodeCapacity));
    }
    return id;
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw RunError(kStatusFailure,
                   settings_.inputPath + ":" + std::to_string(lineNumber_) + ": " + what);
  }

  const RunSettings& settings_;
  EdgeListBuilder builder_;
  const char* nameEnd_ = nullptr;
  long long lineNumber_ = 0;
};

[[noreturn]] void FailFile(const char* what, const std::string& path) {
  throw RunError::FromErrno(std::string(what) + " " + path, errno);
}

}  // namespace

EdgeList EdgeList_Read(const RunSettings& settings) {
  LineParser parser(settings);
  const int fd = open(settings.inputPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailFile("cannot open", settings.inputPath);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat info {};
  const bool sized = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const uint64_t size = sized ? static_cast<uint64_t>(info.st_size) : 0;
  uint64_t bytesRead = 0;

  // Lines are cut out of large blocks; a line that runs past a block is
  // carried over whole, so no line is ever split however long it is.
  constexpr size_t kBlock = size_t{1} << 20;
  std::vector<char> buffer(kBlock + 1);
  size_t carried = 0;  // bytes of an unfinished line at the buffer's start
  ByteHash content;
  for (;;) {
    if (buffer.size() - 1 - carried < kBlock / 2) buffer.resize(buffer.size() * 2);
    const ssize_t got = read(fd, buffer.data() + carried, buffer.size() - 1 - carried);
    if (got < 0) {
      if (errno == EINTR) continue;
      FailFile("cannot read", settings.inputPath);
    }
    if (got == 0) break;
    bytesRead += static_cast<uint64_t>(got);
    if (settings.onRead) settings.onRead(bytesRead, size);
    content.Update(buffer.data() + carried, static_cast<size_t>(got));
    char* const data = buffer.data();
    const size_t filled = carried + static_cast<size_t>(got);
    size_t start = 0;
    size_t scan = carried;  // the carried bytes hold no newline
    while (char* newline = static_cast<char*>(std::memchr(data + scan, '\n', filled - scan))) {
      *newline = '\0';
      parser.Take(data + start);
      start = static_cast<size_t>(newline - data) + 1;
      scan = start;
    }
    carried = filled - start;
    std::memmove(data, data + start, carried);
  }
  if (carried > 0) {  // last line without a newline
    buffer[carried] = '\0';
    parser.Take(buffer.data());
  }
  return parser.Finish(content);
}
