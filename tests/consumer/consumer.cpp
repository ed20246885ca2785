// consumer FILE: the score of every node of FILE, "name score" a line with
// six decimals, as the library gives them, and the pairs the first source
// reaches; a library user's program, built against the installed headers.
#include <cstdio>
#include <pathsuite/pathsuite.h>

class Rows final : public pathsuite::DistanceSink {
 public:
  void Take(pathsuite::TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
            std::span<const double> distances) override {
    for (size_t k = 0; k < targets.size(); ++k) {
      buffer.Append("distance " + std::to_string(source) + " " + std::to_string(targets[k]) + " ");
      buffer.AppendFixed6(distances[k]);
      buffer.AppendChar('\n');
    }
  }
  void Emit(pathsuite::TextBuffer& buffer) override {
    std::fwrite(buffer.View().data(), 1, buffer.Size(), stdout);
  }
};

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    const pathsuite::Graph graph = pathsuite::Graph::ReadEdges(argv[1]);
    pathsuite::Betweenness betweenness(graph);
    betweenness.Run();
    pathsuite::TextBuffer text;
    for (int32_t i = 0; i < graph.NodeCount(); ++i) {
      text.Append(graph.Name(i));
      text.AppendChar(' ');
      text.AppendFixed6(betweenness.Scores()[static_cast<size_t>(i)]);
      text.AppendChar('\n');
    }
    std::fwrite(text.View().data(), 1, text.Size(), stdout);
    Rows rows;
    pathsuite::Distances(graph, pathsuite::Length::Inverse, 0, 1).Run(rows);
  } catch (const pathsuite::Error& e) {
    std::fprintf(stderr, "consumer: %s\n", e.what());
    return 1;
  }
  return 0;
}
