#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

#include "programs/Drivers.h"
#include "programs/Output.h"

#ifndef PATHSUITE_VERSION
#define PATHSUITE_VERSION "unknown"
#endif

namespace {

void Report(const std::string& program, const std::string& message) {
  const std::string line = program + ": " + message + "\n";
  [[maybe_unused]] ssize_t wrote = write(2, line.data(), line.size());
}

bool IsBetweenness(Deliverable which) {
  return which != Deliverable::Spanpairs && which != Deliverable::Anypairs;
}

// The arguments of the usage line (as the drivers print it on a bad command
// line) and what the program does.
struct Help {
  const char* arguments;
  const char* summary;
};

Help HelpFor(Deliverable which) {
  switch (which) {
    case Deliverable::Anybridge:
      return {" EDGE_FILE IGNORED NODE_CAPACITY",
              "Prints the shortest-path betweenness of every node of EDGE_FILE, one\n"
              "\"name score\" line per node in order of first appearance. Each input line\n"
              "holds two names (at most 20 bytes) and a weight w; the edge length is\n"
              "1/(1+w). IGNORED may be any text. NODE_CAPACITY, from 1 to 2147483647,\n"
              "bounds the number of distinct names.\n"};
    case Deliverable::Plusbridge:
      return {"",
              "Prints the shortest-path betweenness of every node of its dataset, using\n"
              "only the lines whose weight w is above 0; the edge length is 1/(1+w).\n"
              "One \"name score\" line for each of the 17039 node indices.\n"};
    case Deliverable::Betweenness:
      return {"",
              "Prints the shortest-path betweenness of every node of its dataset; the\n"
              "edge length is 1/(1+w). One \"name score\" line for each of the 17039\n"
              "node indices.\n"};
    case Deliverable::Linkbridge:
      return {"",
              "Prints the shortest-path betweenness of every node of its degree-corrected\n"
              "dataset; the edge length is 1/(1+w). One \"name score\" line for each of\n"
              "the 17039 node indices.\n"};
    case Deliverable::Spanpairs:
      return {" FIRST_SOURCE LAST_SOURCE",
              "Prints the shortest distance from each source index FIRST_SOURCE to\n"
              "LAST_SOURCE (0 to 17038) of its dataset to every reached node of higher\n"
              "index, one \"source target distance\" line per pair; the edge length is\n"
              "1/(1+w).\n"};
    case Deliverable::Anypairs:
      return {" EDGE_FILE IGNORED NODE_CAPACITY",
              "Prints the shortest distance of every pair of connected nodes of\n"
              "EDGE_FILE, one \"source target distance\" line per pair, lower index first;\n"
              "the edge length is the weight as read. Names hold at most 16 bytes.\n"
              "IGNORED may be any text. NODE_CAPACITY, from 1 to 2147483647, bounds the\n"
              "number of distinct names.\n"};
  }
  return {"", ""};
}

std::string HelpText(Deliverable which, const RunSettings& settings) {
  const Help help = HelpFor(which);
  const std::string& name = settings.programName;
  std::string text = "usage: " + name + help.arguments + "\n       " + name +
                     " --help | --version\n" + help.summary;
  if (!settings.fromCommandLine) {
    text += "Dataset: " + settings.inputPath + "\nFurther arguments are ignored.\n";
  }
  return text;
}

}  // namespace

int Program_Main(Deliverable which, int argc, char** argv) {
  const RunSettings settings = RunSettings_For(which);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  try {
    // Only the first argument is an option, so the fixed-path programs still
    // ignore whatever else they are given.
    if (!args.empty() && (args[0] == "--help" || args[0] == "--version")) {
      Output_Write(out, args[0] == "--help"
                            ? HelpText(which, settings)
                            : settings.programName + " (pathsuite) " PATHSUITE_VERSION "\n");
      return 0;
    }
    if (IsBetweenness(which)) {
      Betweenness_Run(settings, args, out);
    } else {
      Pairs_Run(settings, args, out);
    }
    return 0;
  } catch (const RunError& e) {
    std::string message = e.what();
    if (standardOutput.error() != 0) message += std::string(": ") + std::strerror(standardOutput.error());
    Report(settings.programName, message);
    return e.status();
  } catch (const std::bad_alloc&) {
    Report(settings.programName, "out of memory");
    return kStatusFailure;
  } catch (const std::exception& e) {
    Report(settings.programName, e.what());
    return kStatusFailure;
  }
}
