// graphgen KIND N [SEED] -- writes a benchmark edge list ("nU nV WEIGHT") to stdout.
//
// Output must be byte-identical on every machine, so the generator uses its own
// PRNG and integer/IEEE arithmetic only (no std::*_distribution, whose results
// differ between standard libraries). Build with -ffp-contract=off so that no
// compiler fuses the distance arithmetic into FMAs.
//
// Kinds:
//   social  preferential attachment: clique of 5, then each node links to 4
//           distinct earlier nodes picked in proportion to degree; weights 1..10.
//   road    points in the unit square; edges = all pairs closer than r plus the
//           Euclidean minimum spanning tree (so the graph is connected), r chosen
//           so the mean degree is 3.4; weight = 1000 * distance.
//   rgg     the same without the spanning tree (plain random geometric graph; at
//           mean degree 3.4 it is far below percolation, so it falls apart).
//   er      4N distinct random pairs (mean degree 8); weights uniform in [0.1, 10).
//   chain   path n0 - n1 - ... ; weights 1..10 (longest possible shortest paths).
//   collide N 16-byte names in pairs, one line "a b 1" per pair (N/2 lines). Each
//           name is eight two-byte blocks c1 c2 with 31*c1 + c2 == 0 over signed
//           bytes, so under the hash h = 31h + c every name has code 0.
//   scatter the same lines with 16 random letters and digits per name.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <unordered_set>
#include <vector>

namespace {

// splitmix64: tiny, well mixed, and defined entirely by its own code.
struct Rng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    double unit() { return double(next() >> 11) * 0x1.0p-53; }  // [0, 1)
    uint64_t below(uint64_t n) {  // uniform in [0, n) by rejection, no modulo bias
        const uint64_t lim = UINT64_MAX - UINT64_MAX % n;
        uint64_t x;
        do x = next(); while (x >= lim);
        return x % n;
    }
};

uint64_t key(uint32_t a, uint32_t b) {
    if (a > b) std::swap(a, b);
    return uint64_t(a) << 32 | b;
}

void social(uint32_t n, Rng& rng) {
    const uint32_t m0 = 5, k = 4;
    // Every edge endpoint goes into the pool, so a uniform pick from the pool is
    // a pick proportional to degree.
    std::vector<uint32_t> pool;
    pool.reserve(2 * (size_t(k) * n + m0 * m0));
    for (uint32_t a = 0; a < m0; ++a)
        for (uint32_t b = a + 1; b < m0; ++b) {
            std::printf("n%u n%u %u\n", a, b, unsigned(1 + rng.below(10)));
            pool.push_back(a), pool.push_back(b);
        }
    for (uint32_t v = m0; v < n; ++v) {
        uint32_t chosen[k];
        uint32_t c = 0;
        while (c < k) {
            uint32_t t = pool[rng.below(pool.size())];
            if (std::find(chosen, chosen + c, t) == chosen + c) chosen[c++] = t;
        }
        for (uint32_t t : chosen) {
            std::printf("n%u n%u %u\n", t, v, unsigned(1 + rng.below(10)));
            pool.push_back(t), pool.push_back(v);
        }
    }
}

struct Dsu {
    std::vector<uint32_t> p;
    explicit Dsu(uint32_t n) : p(n) { std::iota(p.begin(), p.end(), 0u); }
    uint32_t find(uint32_t x) {
        while (p[x] != x) x = p[x] = p[p[x]];
        return x;
    }
    bool unite(uint32_t a, uint32_t b) {
        a = find(a), b = find(b);
        if (a == b) return false;
        p[a] = b;
        return true;
    }
};

struct Pair {
    double d;
    uint32_t a, b;
};

// All pairs closer than r, found through a grid of r-sized cells.
std::vector<Pair> close_pairs(const std::vector<double>& x, const std::vector<double>& y, double r) {
    const uint32_t n = x.size();
    const int g = std::max(1, int(1.0 / r));
    auto cell = [g](double v) { return std::min(g - 1, int(v * g)); };
    std::vector<std::vector<uint32_t>> grid(size_t(g) * g);
    for (uint32_t i = 0; i < n; ++i) grid[size_t(cell(x[i])) * g + cell(y[i])].push_back(i);
    std::vector<Pair> out;
    for (uint32_t i = 0; i < n; ++i) {
        const int cx = cell(x[i]), cy = cell(y[i]);
        for (int gx = std::max(0, cx - 1); gx <= std::min(g - 1, cx + 1); ++gx)
            for (int gy = std::max(0, cy - 1); gy <= std::min(g - 1, cy + 1); ++gy)
                for (uint32_t j : grid[size_t(gx) * g + gy]) {
                    if (j <= i) continue;
                    const double dx = x[i] - x[j], dy = y[i] - y[j];
                    const double d = std::sqrt(dx * dx + dy * dy);
                    if (d < r) out.push_back({d, i, j});
                }
    }
    // Full tie-break so the order does not depend on the sort implementation.
    std::sort(out.begin(), out.end(), [](const Pair& p, const Pair& q) {
        if (p.d != q.d) return p.d < q.d;
        return p.a != q.a ? p.a < q.a : p.b < q.b;
    });
    return out;
}

void geometric(uint32_t n, Rng& rng, bool spanning) {
    std::vector<double> x(n), y(n);
    for (uint32_t i = 0; i < n; ++i) x[i] = rng.unit(), y[i] = rng.unit();
    const size_t target = size_t(std::llround(1.7 * n));  // mean degree 3.4
    // Candidates: expected degree ~16, enough to hold the target edges and
    // (almost always) the spanning tree; widen until the tree is complete.
    double r = std::sqrt(16.0 / (3.141592653589793 * n));
    std::vector<Pair> cand;
    std::vector<char> tree;
    for (;;) {
        cand = close_pairs(x, y, r);
        tree.assign(cand.size(), 0);
        if (!spanning) break;
        Dsu dsu(n);
        uint32_t joins = 0;
        for (size_t e = 0; e < cand.size(); ++e) tree[e] = dsu.unite(cand[e].a, cand[e].b) ? (++joins, 1) : 0;
        if (joins == n - 1 || r > 1.5) break;
        r *= 1.5;
    }
    // Keep the tree edges, then the shortest others until the target count.
    size_t have = std::count(tree.begin(), tree.end(), 1);
    std::vector<Pair> keep;
    for (size_t e = 0; e < cand.size(); ++e)
        if (tree[e] || have < target) {
            if (!tree[e]) ++have;
            keep.push_back(cand[e]);
        }
    std::sort(keep.begin(), keep.end(),
              [](const Pair& p, const Pair& q) { return p.a != q.a ? p.a < q.a : p.b < q.b; });
    for (const Pair& p : keep) std::printf("n%u n%u %.6f\n", p.a, p.b, std::max(1e-6, 1000.0 * p.d));
}

void er(uint32_t n, Rng& rng) {
    const uint64_t most = uint64_t(n) * (n - 1) / 2;
    const uint64_t m = std::min<uint64_t>(4ull * n, most);
    std::unordered_set<uint64_t> seen;
    seen.reserve(m * 2);
    while (seen.size() < m) {
        const uint32_t u = rng.below(n), v = rng.below(n);
        if (u == v || !seen.insert(key(u, v)).second) continue;
        std::printf("n%u n%u %.6f\n", u, v, 0.1 + 9.9 * rng.unit());
    }
}

void chain(uint32_t n, Rng& rng) {
    for (uint32_t v = 1; v < n; ++v) std::printf("n%u n%u %u\n", v - 1, v, unsigned(1 + rng.below(10)));
}

// Name i of the colliding family: octal digit d of i picks block d.
void collide_name(uint32_t i, char* out) {
    static const unsigned char blocks[8][2] = {{0xFC, 0x7C}, {0xFD, 0x5D}, {0xFE, 0x3E},
                                               {0xFF, 0x1F}, {0x01, 0xE1}, {0x02, 0xC2},
                                               {0x03, 0xA3}, {0x04, 0x84}};
    for (int d = 0; d < 8; ++d, i /= 8) {
        out[2 * d] = char(blocks[i % 8][0]);
        out[2 * d + 1] = char(blocks[i % 8][1]);
    }
    out[16] = '\0';
}

// Name i of the random family: 13 base-36 digits of a bijective mix of i (so
// names never repeat), then 3 digits from the PRNG.
void scatter_name(uint32_t i, Rng& rng, char* out) {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint64_t z = (uint64_t(i) + 1) * 0x9e3779b97f4a7c15ULL;  // odd multiplier, then splitmix's mix:
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;        // every step is invertible
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    for (int c = 0; c < 13; ++c, z /= 36) out[c] = digits[z % 36];
    for (int c = 13; c < 16; ++c) out[c] = digits[rng.below(36)];
    out[16] = '\0';
}

void name_pairs(uint32_t n, Rng& rng, bool colliding) {
    char a[17], b[17];
    for (uint32_t i = 0; i + 1 < n; i += 2) {
        if (colliding) collide_name(i, a), collide_name(i + 1, b);
        else scatter_name(i, rng, a), scatter_name(i + 1, rng, b);
        std::printf("%s %s 1\n", a, b);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: graphgen social|road|rgg|er|chain|collide|scatter N [SEED]\n");
        return 2;
    }
    const char* kind = argv[1];
    const long n = std::strtol(argv[2], nullptr, 10);
    const uint64_t seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 20240101;
    if (n < 5 || n > 100000000) {
        std::fprintf(stderr, "graphgen: N must be between 5 and 1e8\n");
        return 2;
    }
    if (!std::strcmp(kind, "collide") && n > 16777216) {
        std::fprintf(stderr, "graphgen: collide has 8^8 = 16777216 names\n");
        return 2;
    }
    // Mix the kind into the seed so different kinds do not share point sets.
    Rng rng{seed * 0x100000001b3ULL ^ uint64_t(kind[0]) << 56 ^ std::strlen(kind)};
    if (!std::strcmp(kind, "social")) social(n, rng);
    else if (!std::strcmp(kind, "road")) geometric(n, rng, true);
    else if (!std::strcmp(kind, "rgg")) geometric(n, rng, false);
    else if (!std::strcmp(kind, "er")) er(n, rng);
    else if (!std::strcmp(kind, "chain")) chain(n, rng);
    else if (!std::strcmp(kind, "collide")) name_pairs(n, rng, true);
    else if (!std::strcmp(kind, "scatter")) name_pairs(n, rng, false);
    else {
        std::fprintf(stderr, "graphgen: unknown kind '%s'\n", kind);
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
