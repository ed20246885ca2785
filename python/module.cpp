// The Python module's native part, pathsuite._core: graphs, betweenness and
// distances from the library, results handed to numpy without a copy. The
// engine runs with the GIL released, on a thread of its own, while the
// calling thread watches for signals and draws the progress, so that Ctrl-C
// stops a run within a fraction of a second.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/Progress.h"
#include "pathsuite/pathsuite.h"

namespace py = pybind11;
using pathsuite::Graph;

namespace {

pathsuite::Length LengthOf(const std::string& name) {
  if (name == "inverse") return pathsuite::Length::Inverse;
  if (name == "weight") return pathsuite::Length::Weight;
  if (name == "unit") return pathsuite::Length::Unit;
  throw py::value_error("length must be 'inverse', 'weight' or 'unit', not '" + name + "'");
}

// How a run reports its progress: the runner's meter on standard error
// (progress=True), a callable told (done, total), or nothing.
class Progress {
 public:
  explicit Progress(const py::object& progress) {
    if (progress.is_none() || (py::isinstance<py::bool_>(progress) && !progress.cast<bool>())) {
      return;
    }
    if (py::isinstance<py::bool_>(progress)) {
      meter_.emplace("pathsuite", 2, isatty(1) == 1 && isatty(2) == 1);
      return;
    }
    if (!PyCallable_Check(progress.ptr())) {
      throw py::type_error("progress must be a bool or a callable taking (done, total)");
    }
    callable_ = progress;
  }

  // For the run's options; called on the engine's threads.
  std::function<void(int64_t, int64_t)> Callback() {
    if (meter_) return meter_->Callback();
    if (!callable_) return {};
    return [this](int64_t done, int64_t total) {
      total_.store(total);
      done_.store(done);
    };
  }

  // On the calling thread, with the GIL: tells the callable what changed.
  void Tell() {
    if (!callable_) return;
    const int64_t done = done_.load();
    if (done < 0 || done == told_) return;
    told_ = done;
    callable_(done, total_.load());
  }

 private:
  std::optional<ProgressMeter> meter_;
  py::object callable_;
  std::atomic<int64_t> done_{-1};
  std::atomic<int64_t> total_{0};
  int64_t told_ = -1;
};

// Runs body(options) on a thread of its own with the GIL released; every
// 50 ms the calling thread takes the GIL back to check for signals and tell
// the progress. A signal's exception (KeyboardInterrupt) or the callable's
// cancels the run, which is then awaited and the exception raised; so is
// the run's own failure.
template <class Body>
void RunWatched(pathsuite::RunOptions& options, Progress& progress, Body&& body) {
  std::atomic<bool> cancel{false};
  options.cancel = &cancel;
  options.progress = progress.Callback();
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
  std::optional<py::error_already_set> raised;
  {
    py::gil_scoped_release release;
    std::thread engine([&] {
      try {
        body(options);
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard lock(mutex);
      done = true;
      finished.notify_one();
    });
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) {
      lock.unlock();
      {
        py::gil_scoped_acquire acquire;
        if (!raised) {
          if (PyErr_CheckSignals() != 0) {
            raised.emplace();
          } else {
            try {
              progress.Tell();
            } catch (py::error_already_set& e) {
              raised.emplace(std::move(e));
            }
          }
          if (raised) cancel.store(true);
        }
      }
      lock.lock();
    }
    lock.unlock();
    engine.join();
  }
  if (raised) throw std::move(*raised);
  if (failure) std::rethrow_exception(failure);
  progress.Tell();
}

pathsuite::RunOptions OptionsOf(unsigned threads) {
  pathsuite::RunOptions options;
  options.threads = threads;
  return options;
}

// A vector's doubles as a numpy array that owns them: no copy.
py::array_t<double> ArrayOf(std::vector<double> values) {
  auto* owned = new std::vector<double>(std::move(values));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  return py::array_t<double>({owned->size()}, {sizeof(double)}, owned->data(), owner);
}

py::array_t<double> Betweenness(const Graph& graph, const std::string& length, bool normalized,
                                unsigned threads, const py::object& progressArg) {
  const pathsuite::Length rule = LengthOf(length);
  Progress progress(progressArg);
  pathsuite::RunOptions options = OptionsOf(threads);
  std::vector<double> scores;
  RunWatched(options, progress, [&](const pathsuite::RunOptions& run) {
    pathsuite::Betweenness algorithm(graph, rule);
    algorithm.Run(run);
    scores = algorithm.TakeScores();
    if (normalized) pathsuite::NormalizeScores(scores);
  });
  return ArrayOf(std::move(scores));
}

// Rows into a sources x nodes matrix that starts at infinity.
class MatrixSink final : public pathsuite::DistanceSink {
 public:
  MatrixSink(double* data, int64_t begin, int32_t nodes) : data_(data), begin_(begin), nodes_(nodes) {}
  void Take(pathsuite::TextBuffer&, int32_t source, std::span<const int32_t> targets,
            std::span<const double> distances) override {
    double* row = data_ + (source - begin_) * int64_t{nodes_};
    for (size_t k = 0; k < targets.size(); ++k) row[targets[k]] = distances[k];
  }
  void Emit(pathsuite::TextBuffer&) override {}

 private:
  double* data_;
  int64_t begin_;
  int32_t nodes_;
};

py::array_t<double> Distances(const Graph& graph, const std::string& length, int64_t begin,
                              int64_t end, unsigned threads, const py::object& progressArg) {
  const pathsuite::Length rule = LengthOf(length);
  const int32_t n = graph.NodeCount();
  if (begin < 0 || begin > end || end > n) {
    throw py::value_error("sources must lie in range(0, " + std::to_string(n) + "), not range(" +
                          std::to_string(begin) + ", " + std::to_string(end) + ")");
  }
  Progress progress(progressArg);
  py::array_t<double> matrix({static_cast<py::ssize_t>(end - begin), static_cast<py::ssize_t>(n)});
  double* data = matrix.mutable_data();
  std::fill(data, data + (end - begin) * int64_t{n}, std::numeric_limits<double>::infinity());
  pathsuite::RunOptions options = OptionsOf(threads);
  RunWatched(options, progress, [&](const pathsuite::RunOptions& run) {
    MatrixSink sink(data, begin, n);
    pathsuite::Distances(graph, rule, begin, end, pathsuite::Targets::All).Run(sink, run);
  });
  return matrix;
}

Graph ReadEdges(const std::string& path) {
  py::gil_scoped_release release;
  return Graph::ReadEdges(path);
}

std::vector<double> WeightsOf(const py::array_t<double, py::array::c_style | py::array::forcecast>& w) {
  return std::vector<double>(w.data(), w.data() + w.size());
}

Graph FromNames(const std::vector<std::string>& first, const std::vector<std::string>& second,
                const py::array_t<double, py::array::c_style | py::array::forcecast>& weights) {
  const std::vector<std::string_view> a(first.begin(), first.end());
  const std::vector<std::string_view> b(second.begin(), second.end());
  const std::vector<double> w = WeightsOf(weights);
  py::gil_scoped_release release;
  return Graph::FromNames(a, b, w);
}

Graph FromIds(const py::array_t<int64_t, py::array::c_style | py::array::forcecast>& first,
              const py::array_t<int64_t, py::array::c_style | py::array::forcecast>& second,
              const py::array_t<double, py::array::c_style | py::array::forcecast>& weights,
              int64_t nodeCount, const std::optional<std::vector<std::string>>& names) {
  const std::vector<double> w = WeightsOf(weights);
  std::vector<std::string_view> views;
  if (names) views.assign(names->begin(), names->end());
  if (names && names->empty() && nodeCount != 0) {
    throw py::value_error("0 names for " + std::to_string(nodeCount) + " nodes");
  }
  return Graph::FromIds({first.data(), static_cast<size_t>(first.size())},
                        {second.data(), static_cast<size_t>(second.size())}, w, nodeCount, views);
}

std::vector<std::string> NamesOf(const Graph& graph) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(graph.NodeCount()));
  for (int32_t i = 0; i < graph.NodeCount(); ++i) names.emplace_back(graph.Name(i));
  return names;
}

void RaiseAsPython(std::exception_ptr failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const pathsuite::Cancelled& e) {
    PyErr_SetString(PyExc_KeyboardInterrupt, e.what());
  } catch (const pathsuite::Error& e) {
    if (e.kind() == pathsuite::ErrorKind::System) {
      py::object error = py::reinterpret_steal<py::object>(
          PyObject_CallFunction(PyExc_OSError, "is", e.systemError(), e.what()));
      PyErr_SetObject(PyExc_OSError, error.ptr());
    } else {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  }
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The native part of pathsuite: exact shortest-path betweenness and distances.";
  py::register_exception_translator(RaiseAsPython);

  py::class_<Graph>(m, "Graph", "A weighted undirected graph in memory; immutable.")
      .def_property_readonly("node_count", &Graph::NodeCount)
      .def_property_readonly("edge_count", &Graph::EdgeCount)
      .def_property_readonly("names", &NamesOf, "Node names, by node index.")
      .def("__len__", &Graph::NodeCount)
      .def("__repr__", [](const Graph& g) {
        return "<pathsuite.Graph with " + std::to_string(g.NodeCount()) + " nodes and " +
               std::to_string(g.EdgeCount()) + " edges>";
      });

  m.def("read_edges", &ReadEdges, py::arg("path"));
  m.def("graph_from_names", &FromNames, py::arg("first"), py::arg("second"), py::arg("weights"));
  m.def("graph_from_ids", &FromIds, py::arg("first"), py::arg("second"), py::arg("weights"),
        py::arg("node_count"), py::arg("names") = py::none());
  m.def("betweenness", &Betweenness, py::arg("graph"), py::arg("length"), py::arg("normalized"),
        py::arg("threads"), py::arg("progress"));
  m.def("distances", &Distances, py::arg("graph"), py::arg("length"), py::arg("begin"),
        py::arg("end"), py::arg("threads"), py::arg("progress"));
}
