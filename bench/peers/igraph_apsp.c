/* igraph_apsp FILE -- peer for anypairs: igraph's all-pairs Dijkstra, edge
 * length = the raw weight, printing "src dst dist" for each reachable pair with
 * src before dst in order of first appearance. Benchmark-only. */
#include <igraph.h>

#include "edgelist.h"

/* Sources per igraph call: bounds the distance matrix to BLOCK x n doubles. */
#define BLOCK 256

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: igraph_apsp FILE\n");
        return 2;
    }
    edgelist el;
    el_read(argv[1], &el);
    igraph_vector_int_t ends;
    igraph_vector_t len;
    igraph_vector_int_init(&ends, 2 * el.nedges);
    igraph_vector_init(&len, el.nedges);
    for (long e = 0; e < el.nedges; e++) {
        VECTOR(ends)[2 * e] = el.src[e];
        VECTOR(ends)[2 * e + 1] = el.dst[e];
        VECTOR(len)[e] = el.w[e];
    }
    igraph_t g;
    igraph_create(&g, &ends, el.nnodes, IGRAPH_UNDIRECTED);
    igraph_matrix_t d;
    igraph_matrix_init(&d, 0, 0);
    for (long lo = 0; lo < el.nnodes; lo += BLOCK) {
        long hi = lo + BLOCK < el.nnodes ? lo + BLOCK : el.nnodes;
        igraph_distances_dijkstra(&g, &d, igraph_vss_range(lo, hi), igraph_vss_all(), &len, IGRAPH_ALL);
        for (long s = lo; s < hi; s++)
            for (long t = s + 1; t < el.nnodes; t++) {
                double x = MATRIX(d, s - lo, t);
                if (x != IGRAPH_INFINITY) printf("%s %s %f\n", el.names[s], el.names[t], x);
            }
    }
    igraph_matrix_destroy(&d);
    igraph_vector_destroy(&len);
    igraph_vector_int_destroy(&ends);
    igraph_destroy(&g);
    return fflush(stdout) == 0 ? 0 : 1;
}
