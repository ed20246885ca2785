/* igraph_betweenness FILE -- peer for anybridge: igraph's weighted betweenness,
 * edge length 1/(w+1), printed "name score" in order of first appearance.
 * Benchmark-only; never part of the product. */
#include <igraph.h>

#include "edgelist.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: igraph_betweenness FILE\n");
        return 2;
    }
    edgelist el;
    el_read(argv[1], &el);
    igraph_vector_int_t ends;
    igraph_vector_t len, score;
    igraph_vector_int_init(&ends, 2 * el.nedges);
    igraph_vector_init(&len, el.nedges);
    for (long e = 0; e < el.nedges; e++) {
        VECTOR(ends)[2 * e] = el.src[e];
        VECTOR(ends)[2 * e + 1] = el.dst[e];
        VECTOR(len)[e] = 1.0 / (el.w[e] + 1.0);
    }
    igraph_t g;
    igraph_create(&g, &ends, el.nnodes, IGRAPH_UNDIRECTED);
    igraph_vector_init(&score, 0);
    igraph_betweenness(&g, &score, igraph_vss_all(), IGRAPH_UNDIRECTED, &len);
    /* igraph counts each unordered pair once on undirected graphs (a-b-c gives
     * b = 1); the suite sums over ordered pairs, hence the 2. */
    for (long v = 0; v < el.nnodes; v++) printf("%s %f\n", el.names[v], 2.0 * VECTOR(score)[v]);
    igraph_vector_destroy(&score);
    igraph_vector_destroy(&len);
    igraph_vector_int_destroy(&ends);
    igraph_destroy(&g);
    return fflush(stdout) == 0 ? 0 : 1;
}
