#include "graph/EdgeList.h"

#include <algorithm>
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
    : capacity_(capacity), key_(Hash_ProcessKey()), slots_(1024, Slot{0, 0, -1}), mask_(1023) {}

uint64_t EdgeListBuilder::HeadOf(std::string_view name) {
  uint64_t head = 0;
  const size_t inline_ = std::min(name.size(), kInlineBytes);
  std::memcpy(&head, name.data(), inline_);  // little-endian or not, the same for every name
  const uint64_t mark = name.size() <= kInlineBytes ? name.size() : kInlineBytes + 1;
  return head | mark << 56;
}

void EdgeListBuilder::Grow() {
  std::vector<Slot> old(slots_.size() * 2, Slot{0, 0, -1});
  old.swap(slots_);
  mask_ = static_cast<uint32_t>(slots_.size() - 1);
  for (const Slot& slot : old) {
    if (slot.id < 0) continue;
    uint32_t at = slot.code & mask_;
    while (slots_[at].id >= 0) at = (at + 1) & mask_;
    slots_[at] = slot;
  }
}

int32_t EdgeListBuilder::Intern(std::string_view name) {
  const auto code = static_cast<uint32_t>(Hash_SipHash24(key_, name.data(), name.size()));
  const uint64_t head = HeadOf(name);
  const bool whole = name.size() <= kInlineBytes;
  uint32_t at = code & mask_;
  for (; slots_[at].id >= 0; at = (at + 1) & mask_) {
    const Slot& slot = slots_[at];
    if (slot.code == code && slot.head == head &&
        (whole || list_.names.Name(slot.id) == name)) {
      return slot.id;
    }
  }
  const int32_t id = count_;
  if (id >= capacity_) return -1;
  list_.names.Add(name);
  slots_[at] = Slot{head, code, id};
  ++count_;
  if (static_cast<size_t>(count_) * 2 > slots_.size()) Grow();
  return id;
}

EdgeList EdgeListBuilder::Finish(uint64_t inputSize, uint64_t inputHash) {
  list_.inputSize = inputSize;
  list_.inputHash = inputHash;
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

// The weight at p, as strtod reads it; *end is where it stops (p when no
// number starts there). Plain decimals, the common case, are converted
// here: at most 19 digits, a value below 2^53 and at most 22 after the
// point, ended by a blank or the line's end. Such a number is m / 10^k with
// both exact doubles, and one correctly rounded division gives the correctly
// rounded value, as strtod's. Anything else (exponents, hexadecimal, inf,
// nan, more digits, a following letter) goes to strtod.
double ReadWeight(char* p, char** end) {
  const char* q = p;
  const bool negative = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  uint64_t m = 0;
  int digits = 0, fraction = 0;
  for (; *q >= '0' && *q <= '9' && digits < 20; ++q, ++digits) {
    m = m * 10 + static_cast<uint64_t>(*q - '0');
  }
  if (*q == '.') {
    for (++q; *q >= '0' && *q <= '9' && digits < 20; ++q, ++digits, ++fraction) {
      m = m * 10 + static_cast<uint64_t>(*q - '0');
    }
  }
  constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (digits == 0 || digits > 19 || m > (uint64_t{1} << 53) || fraction > 22 ||
      (*q != '\0' && !IsBlank(*q))) {
    return std::strtod(p, end);
  }
  *end = const_cast<char*>(q);
  const double value = static_cast<double>(m) / kPowers[fraction];
  return negative ? -value : value;
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
    const double w = ReadWeight(numberStart, &numberEnd);
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
