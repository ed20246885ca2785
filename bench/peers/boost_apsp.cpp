// boost_apsp FILE -- peer for anypairs: Dijkstra from every source with Boost,
// edge length = the raw weight, printing "src dst dist" for each reachable pair
// with src before dst in order of first appearance. Benchmark-only.
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>

#include <cstdio>
#include <limits>
#include <vector>

#include "edgelist.h"

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, double>>;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: boost_apsp FILE\n");
        return 2;
    }
    edgelist el;
    el_read(argv[1], &el);
    Graph g(el.nnodes);
    for (long e = 0; e < el.nedges; ++e) boost::add_edge(el.src[e], el.dst[e], el.w[e], g);

    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> dist(el.nnodes);
    auto dmap = boost::make_iterator_property_map(dist.begin(), boost::get(boost::vertex_index, g));
    for (long s = 0; s < el.nnodes; ++s) {
        boost::dijkstra_shortest_paths(g, s, boost::distance_map(dmap).distance_inf(inf));
        for (long t = s + 1; t < el.nnodes; ++t)
            if (dist[t] < inf) std::printf("%s %s %f\n", el.names[s], el.names[t], dist[t]);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
