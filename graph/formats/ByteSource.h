// The bytes of one input as the readers see them: a file or standard input,
// gzip data inflated on the way when the build has zlib. The content decides
// (gzip's magic bytes), not the name, so a pipe of gzip data is read too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graph/ByteHash.h"
#include "graph/formats/ReadOptions.h"

class ByteSource {
 public:
  // Opens path ("-": standard input, which is not closed). Throws RunError
  // (status 1) when it cannot be opened or read, or is gzip data and this
  // build reads no gzip.
  ByteSource(const std::string& path, ReadProgress progress);
  ~ByteSource();
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Up to size bytes of the content into out; 0 only at its end. Throws
  // RunError on a read error or corrupt or truncated gzip data.
  size_t Read(char* out, size_t size);

  // The input as messages name it: the path, or "standard input".
  const std::string& Name() const { return name_; }

  // Size and ByteHash of the content handed out so far (after inflating).
  uint64_t ContentSize() const { return content_.Size(); }
  uint64_t ContentHash() const { return content_.Final(); }

  // Whether this build reads gzip data.
  static bool ReadsGzip();

 private:
  struct Gzip;

  size_t ReadRaw(unsigned char* out, size_t size);
  size_t ReadGzip(char* out, size_t size);
  void Report();
  [[noreturn]] void Fail(const std::string& what) const;

  // The descriptor, closed with the member: also when the constructor
  // throws after opening it.
  struct Descriptor {
    int fd = -1;
    bool owned = false;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
  };

  std::string name_;
  Descriptor file_;
  ReadProgress progress_;
  uint64_t rawRead_ = 0;
  uint64_t total_ = 0;  // the file's size, 0 when unknown
  uint64_t nextReport_;
  bool reportedEnd_ = false;
  std::vector<unsigned char> raw_;  // bytes read ahead: the first block, then gzip input
  size_t rawAt_ = 0;                // raw_[rawAt_ ..] not yet handed on (plain input)
  std::unique_ptr<Gzip> gzip_;
  ByteHash content_;
};
