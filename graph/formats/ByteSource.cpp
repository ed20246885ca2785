#include "graph/formats/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "graph/RunError.h"

#ifdef PATHSUITE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

constexpr uint64_t kReportEvery = uint64_t{4} << 20;
constexpr size_t kRawBlock = size_t{256} << 10;

}  // namespace

#ifdef PATHSUITE_HAVE_ZLIB
struct ByteSource::Gzip {
  z_stream stream{};
  bool memberDone = false;  // a member ended; more input starts the next one

  Gzip() {
    // 16 + window bits: gzip headers only, so zlib or raw streams are errors.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Gzip() { inflateEnd(&stream); }
};
bool ByteSource::ReadsGzip() { return true; }
#else
struct ByteSource::Gzip {};
bool ByteSource::ReadsGzip() { return false; }
#endif

ByteSource::ByteSource(const std::string& path, ReadProgress progress)
    : progress_(std::move(progress)), nextReport_(kReportEvery) {
  if (path == "-") {
    name_ = "standard input";
    file_.fd = STDIN_FILENO;
  } else {
    name_ = path;
    file_.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_.fd < 0) {
      throw RunError(kStatusFailure, "cannot open " + path + ": " + std::strerror(errno));
    }
    file_.owned = true;
  }
  struct stat info;
  if (fstat(file_.fd, &info) == 0 && S_ISREG(info.st_mode)) total_ = static_cast<uint64_t>(info.st_size);

  // Enough of the start to see gzip's two magic bytes (a pipe may give less).
  raw_.resize(kRawBlock);
  size_t have = 0;
  while (have < 2) {
    const size_t got = ReadRaw(raw_.data() + have, raw_.size() - have);
    if (got == 0) break;
    have += got;
  }
  raw_.resize(have);
  if (have < 2 || raw_[0] != 0x1f || raw_[1] != 0x8b) return;
#ifdef PATHSUITE_HAVE_ZLIB
  gzip_ = std::make_unique<Gzip>();
  gzip_->stream.next_in = raw_.data();
  gzip_->stream.avail_in = static_cast<unsigned>(have);
#else
  Fail("gzip data, and this build reads no gzip (it was built without zlib): decompress it first, "
       "e.g. with zcat");
#endif
}

ByteSource::~ByteSource() = default;

ByteSource::Descriptor::~Descriptor() {
  if (owned) close(fd);
}

void ByteSource::Fail(const std::string& what) const {
  throw RunError(kStatusFailure, name_ + ": " + what);
}

void ByteSource::Report() {
  if (!progress_) return;
  progress_(rawRead_, total_);
}

size_t ByteSource::ReadRaw(unsigned char* out, size_t size) {
  for (;;) {
    const ssize_t got = read(file_.fd, out, size);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw RunError(kStatusFailure, "cannot read " + name_ + ": " + std::strerror(errno));
    }
    rawRead_ += static_cast<uint64_t>(got);
    if (got == 0) {
      if (!reportedEnd_) Report();
      reportedEnd_ = true;
    } else if (rawRead_ >= nextReport_) {
      Report();
      while (nextReport_ <= rawRead_) nextReport_ += kReportEvery;
    }
    return static_cast<size_t>(got);
  }
}

size_t ByteSource::Read(char* out, size_t size) {
  if (size == 0) return 0;
  size_t got = 0;
  if (gzip_) {
    got = ReadGzip(out, size);
  } else if (rawAt_ < raw_.size()) {
    got = std::min(size, raw_.size() - rawAt_);
    std::memcpy(out, raw_.data() + rawAt_, got);
    rawAt_ += got;
  } else {
    got = ReadRaw(reinterpret_cast<unsigned char*>(out), size);
  }
  content_.Update(out, got);
  return got;
}

#ifdef PATHSUITE_HAVE_ZLIB
size_t ByteSource::ReadGzip(char* out, size_t size) {
  z_stream& z = gzip_->stream;
  const auto room = static_cast<unsigned>(std::min<size_t>(size, UINT_MAX));
  z.next_out = reinterpret_cast<unsigned char*>(out);
  z.avail_out = room;
  while (z.avail_out == room) {
    if (z.avail_in == 0) {
      if (raw_.size() < kRawBlock) raw_.resize(kRawBlock);
      const size_t got = ReadRaw(raw_.data(), raw_.size());
      if (got == 0) {
        if (gzip_->memberDone) return 0;
        Fail("the gzip data ends early: the file is truncated");
      }
      z.next_in = raw_.data();
      z.avail_in = static_cast<unsigned>(got);
    }
    if (gzip_->memberDone) {  // concatenated members, as gzip itself reads them
      inflateReset(&z);
      gzip_->memberDone = false;
    }
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      gzip_->memberDone = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      Fail(std::string("corrupt gzip data (zlib: ") + (z.msg != nullptr ? z.msg : "error") + ")");
    }
  }
  return room - z.avail_out;
}
#else
size_t ByteSource::ReadGzip(char*, size_t) { return 0; }  // never reached: no Gzip is made
#endif
