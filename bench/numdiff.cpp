// numdiff A B -- compares two outputs line by line where each line is
// "KEY... NUMBER": keys must match exactly, numbers may differ a little (peers
// add path lengths in another order). Streams both inputs, so it also works on
// pipes holding billions of bytes. Prints one summary line; exit 0 iff keys and
// line counts match (the numeric gap is reported, not judged).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool next_line(FILE* f, std::string& s) {
    static char* buf = nullptr;
    static size_t cap = 0;
    ssize_t n = ::getline(&buf, &cap, f);  // POSIX; much faster than getc loops
    if (n < 0) return false;
    if (n > 0 && buf[n - 1] == '\n') --n;
    s.assign(buf, size_t(n));
    return true;
}

// Splits at the last blank: everything before is the key.
bool split(const std::string& s, size_t& cut, double& x) {
    cut = s.find_last_of(" \t");
    if (cut == std::string::npos) return false;
    char* end;
    x = std::strtod(s.c_str() + cut + 1, &end);
    return *end == '\0' && end != s.c_str() + cut + 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: numdiff A B\n");
        return 2;
    }
    FILE* a = std::fopen(argv[1], "r");
    FILE* b = std::fopen(argv[2], "r");
    if (!a || !b) {
        std::perror("numdiff");
        return 2;
    }
    std::string la, lb;
    long lines = 0;
    double maxabs = 0, maxrel = 0;
    for (;;) {
        const bool ga = next_line(a, la), gb = next_line(b, lb);
        if (!ga || !gb) {
            if (ga != gb) {
                std::printf("line-count-differs after %ld lines (%s is longer)\n", lines, ga ? "first" : "second");
                return 1;
            }
            break;
        }
        ++lines;
        size_t ca, cb;
        double xa, xb;
        if (!split(la, ca, xa) || !split(lb, cb, xb) || la.compare(0, ca, lb, 0, cb) != 0) {
            std::printf("key-differs at line %ld: '%s' vs '%s'\n", lines, la.c_str(), lb.c_str());
            return 1;
        }
        const double d = std::fabs(xa - xb);
        if (d > maxabs) maxabs = d;
        const double scale = std::fmax(std::fabs(xa), std::fabs(xb));
        if (scale > 0 && d / scale > maxrel) maxrel = d / scale;
    }
    std::printf("lines=%ld maxabs=%.3g maxrel=%.3g\n", lines, maxabs, maxrel);
    return 0;
}
