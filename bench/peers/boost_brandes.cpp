// boost_brandes FILE -- peer for anybridge: weighted shortest-path betweenness by
// Boost's Brandes implementation, edge length 1/(w+1), printed "name score" in
// order of first appearance. Benchmark-only; never part of the product.
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/betweenness_centrality.hpp>

#include <cstdio>
#include <vector>

#include "edgelist.h"

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, double>>;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: boost_brandes FILE\n");
        return 2;
    }
    edgelist el;
    el_read(argv[1], &el);
    Graph g(el.nnodes);
    for (long e = 0; e < el.nedges; ++e)  // duplicate lines stay as parallel edges
        boost::add_edge(el.src[e], el.dst[e], 1.0 / (el.w[e] + 1.0), g);

    std::vector<double> score(el.nnodes, 0.0);
    auto cmap = boost::make_iterator_property_map(score.begin(), boost::get(boost::vertex_index, g));
    boost::brandes_betweenness_centrality(
        g, boost::centrality_map(cmap).weight_map(boost::get(boost::edge_weight, g)));
    // Boost halves the scores of undirected graphs (each unordered pair once; on
    // a-b-c it gives b = 1); the suite sums over ordered pairs, hence the 2.
    for (long v = 0; v < el.nnodes; ++v) std::printf("%s %f\n", el.names[v], 2.0 * score[v]);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
