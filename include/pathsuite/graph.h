// A weighted undirected graph in memory, as the engines read it: node names
// with dense indices from 0, and its edges, each with the weight it was
// given. Immutable once made; copies share one graph.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct EdgeList;  // the library's own representation, opaque here

namespace pathsuite {

class Graph {
 public:
  // An edge-list file: one edge a line, two names and a weight separated by
  // blanks, lines of white space skipped; names of any length. Nodes are
  // numbered in order of first appearance, the first name of a line before
  // the second. Throws Error: kind System when the file cannot be opened or
  // read, kind Input naming "path:line" for a line without two names and a
  // weight.
  static Graph ReadEdges(const std::string& path);

  // Edge e joins first[e] and second[e] with weights[e]; nodes are numbered
  // in order of first appearance, first[e] before second[e]. Throws Error
  // (kind Usage) when the three lengths differ.
  static Graph FromNames(std::span<const std::string_view> first,
                         std::span<const std::string_view> second,
                         std::span<const double> weights);

  // Edge e joins nodes first[e] and second[e], indices as given, with
  // weights[e]; nodeCount nodes (nodes on no edge are isolated), or one
  // more than the largest index when nodeCount < 0. Node i is named
  // names[i], or its decimal index when names is empty. Throws Error (kind
  // Usage) for an index outside 0 .. nodeCount-1, lengths that differ, a
  // nodeCount of 2^31 or more, or names of another count.
  static Graph FromIds(std::span<const int64_t> first, std::span<const int64_t> second,
                       std::span<const double> weights, int64_t nodeCount = -1,
                       std::span<const std::string_view> names = {});

  int32_t NodeCount() const;
  size_t EdgeCount() const;
  // Name of node i; the empty name outside 0 .. NodeCount()-1.
  std::string_view Name(int32_t i) const;

  // The library's own view of the graph.
  explicit Graph(std::shared_ptr<const EdgeList> edges) : edges_(std::move(edges)) {}
  const EdgeList& Edges() const { return *edges_; }

 private:
  std::shared_ptr<const EdgeList> edges_;
};

}  // namespace pathsuite
