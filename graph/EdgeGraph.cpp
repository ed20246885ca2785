#include "graph/EdgeGraph.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "graph/ByteHash.h"

void HashStoreDeleter::operator()(Hash_Store* table) const {
  Hash_DeleteTable(table);
  delete table;
}

EdgeGraph::~EdgeGraph() {
  for (List_Cell* head : heads) List_Delete(head);
}

void EdgeGraph_DropAdjacency(EdgeGraph& graph) {
  for (List_Cell*& head : graph.heads) head = List_Delete(head);
  graph.heads.clear();
  graph.heads.shrink_to_fit();
  graph.index.reset();
}

std::string_view EdgeGraph_Name(const EdgeGraph& graph, int32_t i) {
  if (i < 0 || i >= graph.nameCount) return {};
  const auto slot = static_cast<size_t>(i);
  return {&graph.names.slots[slot * static_cast<size_t>(graph.names.slotWidth)],
          graph.names.lengths[slot]};
}

namespace {

// White space as the C locale's isspace sees it.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

class Loader {
 public:
  explicit Loader(const RunSettings& settings) : settings_(settings) {
    graph_.nodeCapacity = settings.nodeCapacity;
    graph_.names.slotWidth = settings.slotWidth;
    graph_.index.reset(new Hash_Store);
    Hash_InitTable(graph_.index.get(), settings.hashSizeHint);
  }

  // line is NUL-terminated at its end (its newline, if any, already cut).
  void ProcessLine(char* line) {
    lineNumber_ += 1;
    char* p = SkipBlanks(line);
    if (*p == '\0') return;  // a line of white space only
    char* first = p;
    p = CutName(p);
    char* second = SkipBlanks(p);
    p = CutName(second);
    if (*second == '\0') Fail("expected two names and a weight");
    char* numberStart = SkipBlanks(p);
    char* numberEnd = nullptr;
    const double w = std::strtod(numberStart, &numberEnd);
    if (numberEnd == numberStart) Fail("expected two names and a weight");
    if (settings_.edgeFilter == EdgeFilter::Positive && !(w > 0.0)) return;

    const int32_t a = Intern(first);
    const int32_t b = Intern(second);
    // The weight is kept as read; the search turns it into a length.
    auto& heads = graph_.heads;
    heads[static_cast<size_t>(a)] = List_Add(heads[static_cast<size_t>(a)], b, w);
    heads[static_cast<size_t>(b)] = List_Add(heads[static_cast<size_t>(b)], a, w);
  }

  EdgeGraph Finish(const ByteHash& content) {
    graph_.inputSize = content.Size();
    graph_.inputHash = content.Final();
    return std::move(graph_);
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw RunError(kStatusFailure,
                   settings_.inputPath + ":" + std::to_string(lineNumber_) + ": " + what);
  }

 private:
  static char* SkipBlanks(char* p) {
    while (*p != '\0' && IsBlank(*p)) ++p;
    return p;
  }

  // Terminates the name starting at p and returns where scanning resumes.
  // Checks the width before the name is used, whether or not the line is kept.
  char* CutName(char* p) {
    char* end = p;
    while (*end != '\0' && !IsBlank(*end)) ++end;
    if (end - p > settings_.nameWidth) {
      Fail("name longer than " + std::to_string(settings_.nameWidth) + " bytes");
    }
    if (*end == '\0') return end;
    *end = '\0';
    return end + 1;
  }

  int32_t Intern(const char* name) {
    Hash_Store* index = graph_.index.get();
    if (const Hash_Item* found = Hash_FindEntry(index, name)) return found->value;
    if (graph_.nameCount >= settings_.nodeCapacity) {
      Fail("more distinct names than the node capacity " +
           std::to_string(settings_.nodeCapacity));
    }
    const int32_t node = graph_.nameCount;
    Hash_Item* item = Hash_CreateEntry(index, name, nullptr);
    item->value = node;
    const size_t length = std::strlen(name);
    NameTable& names = graph_.names;
    const size_t base = names.slots.size();
    names.slots.resize(base + static_cast<size_t>(names.slotWidth), '\0');
    std::memcpy(&names.slots[base], name, length);
    names.lengths.push_back(static_cast<uint32_t>(length));
    graph_.heads.push_back(nullptr);
    graph_.nameCount += 1;
    return node;
  }

  const RunSettings& settings_;
  EdgeGraph graph_;
  long long lineNumber_ = 0;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

EdgeGraph EdgeGraph_Load(const RunSettings& settings) {
  Loader loader(settings);
  const int fd = open(settings.inputPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw RunError::FromErrno("cannot open " + settings.inputPath, errno);
  }
  FileDescriptor file(fd);

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
      throw RunError::FromErrno("cannot read " + settings.inputPath, errno);
    }
    if (got == 0) break;
    content.Update(buffer.data() + carried, static_cast<size_t>(got));
    char* const data = buffer.data();
    const size_t filled = carried + static_cast<size_t>(got);
    size_t start = 0;
    size_t scan = carried;  // the carried bytes hold no newline
    while (char* newline = static_cast<char*>(
               std::memchr(data + scan, '\n', filled - scan))) {
      *newline = '\0';
      loader.ProcessLine(data + start);
      start = static_cast<size_t>(newline - data) + 1;
      scan = start;
    }
    carried = filled - start;
    std::memmove(data, data + start, carried);
  }
  if (carried > 0) {  // last line without a newline
    buffer[carried] = '\0';
    loader.ProcessLine(buffer.data());
  }
  return loader.Finish(content);
}
