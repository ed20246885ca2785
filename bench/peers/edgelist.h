/* Edge-list reader shared by the peer programs (C and C++), so every peer sees
 * the same graph: one edge per line "NAME1 NAME2 WEIGHT", blank lines skipped,
 * nodes numbered by first appearance, duplicate lines and self-loops kept.
 * Errors end the program with a message: these are benchmark tools. */
#ifndef BENCH_PEERS_EDGELIST_H
#define BENCH_PEERS_EDGELIST_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    long nnodes, nedges;
    char **names;    /* i-th distinct name, in order of first appearance */
    long *src, *dst; /* endpoints of edge e */
    double *w;       /* weight of edge e as written */
    long *slot, hcap, ncap, ecap; /* name hash table (at most half full), capacities */
} edgelist;

static void *el_alloc(void *p, size_t bytes) {
    p = realloc(p, bytes ? bytes : 1);
    if (!p) { fprintf(stderr, "out of memory\n"); exit(1); }
    return p;
}

static uint64_t el_hash(const char *s) { /* FNV-1a */
    uint64_t h = 1469598103934665603ULL;
    for (; *s; s++) h = (h ^ (unsigned char)*s) * 1099511628211ULL;
    return h;
}

static void el_rehash(edgelist *el, long hcap) {
    el->hcap = hcap;
    el->slot = (long *)el_alloc(el->slot, hcap * sizeof(long));
    for (long s = 0; s < hcap; s++) el->slot[s] = -1;
    for (long i = 0; i < el->nnodes; i++) {
        long s = (long)(el_hash(el->names[i]) & (uint64_t)(hcap - 1));
        while (el->slot[s] >= 0) s = (s + 1) & (hcap - 1);
        el->slot[s] = i;
    }
}

/* Index of NAME, numbering it if it is new. */
static long el_id(edgelist *el, char *name) {
    long s = (long)(el_hash(name) & (uint64_t)(el->hcap - 1));
    for (; el->slot[s] >= 0; s = (s + 1) & (el->hcap - 1))
        if (!strcmp(el->names[el->slot[s]], name)) return el->slot[s];
    if (el->nnodes == el->ncap) {
        el->ncap = 2 * el->ncap + 1024;
        el->names = (char **)el_alloc(el->names, el->ncap * sizeof(char *));
    }
    long id = el->nnodes++;
    el->names[id] = name;
    el->slot[s] = id;
    if (2 * el->nnodes > el->hcap) el_rehash(el, 2 * el->hcap);
    return id;
}

static int el_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

static void el_read(const char *path, edgelist *el) {
    FILE *f = fopen(path, "rb");
    if (!f) { perror(path); exit(1); }
    size_t len = 0, cap = 1 << 20, got;
    char *buf = (char *)el_alloc(NULL, cap + 1);
    while ((got = fread(buf + len, 1, cap - len, f)) > 0)
        if ((len += got) == cap) buf = (char *)el_alloc(buf, (cap *= 2) + 1);
    fclose(f);
    buf[len] = '\0';

    memset(el, 0, sizeof *el);
    el_rehash(el, 1 << 12);
    /* Names stay in BUF (never freed): blanks and newlines become terminators. */
    for (char *p = buf, *end = buf + len; p < end;) {
        char *tok[3];
        int nt = 0;
        for (;;) {
            while (p < end && el_blank(*p)) *p++ = '\0';
            if (p == end || *p == '\n') break;
            if (nt == 3) { fprintf(stderr, "%s: more than 3 fields on a line\n", path); exit(1); }
            tok[nt++] = p;
            while (p < end && *p != '\n' && !el_blank(*p)) p++;
        }
        if (p < end) *p++ = '\0';
        if (nt == 0) continue;
        if (nt != 3) { fprintf(stderr, "%s: a line has %d fields, not 3\n", path, nt); exit(1); }
        if (el->nedges == el->ecap) {
            el->ecap = 2 * el->ecap + 4096;
            el->src = (long *)el_alloc(el->src, el->ecap * sizeof(long));
            el->dst = (long *)el_alloc(el->dst, el->ecap * sizeof(long));
            el->w = (double *)el_alloc(el->w, el->ecap * sizeof(double));
        }
        char *stop;
        long e = el->nedges++;
        el->src[e] = el_id(el, tok[0]);
        el->dst[e] = el_id(el, tok[1]);
        el->w[e] = strtod(tok[2], &stop);
        if (*stop || stop == tok[2]) { fprintf(stderr, "%s: bad weight '%s'\n", path, tok[2]); exit(1); }
    }
}

#endif
