// Helpers of the readers' tests: files with a chosen name, gzip bytes,
// standard input taken from a file or a pipe, and the outcome of a read.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "graph/EdgeList.h"
#include "graph/RunError.h"
#include "graph/formats/Formats.h"

#ifdef TESTS_WRITE_GZIP
#include <zlib.h>
#endif

// Writes content to dir/name and returns the path.
inline std::string WriteNamed(const std::string& dir, const std::string& name,
                              std::string_view content) {
  const std::string path = dir + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

// "a b 1\nb c 2\n" as gzip wrote it (fixed bytes, so a build without zlib
// can test that it refuses gzip).
inline std::string SmallGzip() {
  static constexpr unsigned char kBytes[] = {
      0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xff, 0x4b, 0x54, 0x48, 0x52, 0x30, 0xe4,
      0x4a, 0x52, 0x48, 0x56, 0x30, 0xe2, 0x02, 0x00, 0xab, 0x11, 0xcc, 0x6c, 0x0c, 0x00, 0x00, 0x00};
  return std::string(reinterpret_cast<const char*>(kBytes), sizeof kBytes);
}

#ifdef TESTS_WRITE_GZIP
// content as one gzip member.
inline std::string Gzip(std::string_view content) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(content.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  z.avail_in = static_cast<uInt>(content.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}
#endif

// Standard input read from path while the object lives.
class StdinFromFile {
 public:
  explicit StdinFromFile(const std::string& path) : saved_(dup(STDIN_FILENO)) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0 || saved_ < 0) throw std::runtime_error("cannot open " + path);
    dup2(fd, STDIN_FILENO);
    close(fd);
  }
  ~StdinFromFile() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  StdinFromFile(const StdinFromFile&) = delete;
  StdinFromFile& operator=(const StdinFromFile&) = delete;

 private:
  int saved_;
};

// Standard input a stream that a thread fills with content while the object
// lives (so the reader sees no size, and short reads). A socket rather than
// a pipe: a reader that stops early makes the writer fail, not SIGPIPE.
class StdinFromStream {
 public:
  explicit StdinFromStream(std::string content) : saved_(dup(STDIN_FILENO)) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0 || saved_ < 0) {
      throw std::runtime_error("socketpair");
    }
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    writer_ = std::thread([fd = ends[1], text = std::move(content)] {
      for (size_t done = 0; done < text.size();) {
        const size_t piece = std::min<size_t>(4093, text.size() - done);  // odd pieces
        const ssize_t n = send(fd, text.data() + done, piece, MSG_NOSIGNAL);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      close(fd);
    });
  }
  ~StdinFromStream() {
    dup2(saved_, STDIN_FILENO);  // closes the reading end: a blocked writer fails and ends
    close(saved_);
    writer_.join();
  }
  StdinFromStream(const StdinFromStream&) = delete;
  StdinFromStream& operator=(const StdinFromStream&) = delete;

 private:
  int saved_;
  std::thread writer_;
};

// A read's EdgeList, or its failure.
struct ReadOutcome {
  bool failed = false;
  int status = 0;
  std::string message;
  EdgeList edges;
};

inline ReadOutcome ReadWith(const ReadOptions& options) {
  ReadOutcome out;
  try {
    out.edges = Formats_Read(options);
  } catch (const RunError& e) {
    out.failed = true;
    out.status = e.status();
    out.message = e.what();
  }
  return out;
}

inline ReadOptions OptionsFor(const std::string& path) {
  ReadOptions options;
  options.path = path;
  return options;
}
