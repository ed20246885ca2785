#include "analyst/AnalystOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "graph/RunError.h"
#include "graph/formats/Formats.h"

namespace {

[[noreturn]] void Usage(const std::string& why) { throw RunError(kStatusUsage, why); }

// A whole number from low to high written in digits alone: "1e3", "+5" or
// "2 " are refused, not read as 1, 5 or 2.
uint64_t Whole(const std::string& option, const std::string& text, uint64_t low, uint64_t high) {
  const std::string range = " takes a whole number from " + std::to_string(low) + " to " +
                            std::to_string(high) + ", not '" + text + "'";
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    Usage(option + range);
  }
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value < low || value > high) Usage(option + range);
  return value;
}

// A finite number, the whole text read.
double Real(const std::string& option, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) {
    Usage(option + " takes a number, not '" + text + "'");
  }
  return value;
}

LengthRule LengthNamed(const std::string& text) {
  if (text == "inverse") return LENGTH_RECIPROCAL;
  if (text == "weight") return LENGTH_STORED;
  if (text == "unit") return LENGTH_UNIT;
  Usage("--length takes inverse (1/(1+w)), weight (w) or unit (1), not '" + text + "'");
}

SourceSpan SpanNamed(const std::string& text) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) {
    Usage("--sources takes FIRST..LAST (node indices from 0, both included), not '" + text + "'");
  }
  const uint64_t most = std::numeric_limits<int32_t>::max();
  const auto first = static_cast<int64_t>(Whole("--sources FIRST", text.substr(0, dots), 0, most));
  const auto last = static_cast<int64_t>(Whole("--sources LAST", text.substr(dots + 2), 0, most));
  if (first > last) Usage("--sources " + text + ": FIRST is above LAST");
  return {first, last};
}

// What the options seen so far were, for the checks that tie them together.
struct Seen {
  bool digits = false, exact = false, header = false, noHeader = false, sample = false,
       epsilon = false, delta = false, adaptive = false, seed = false;
};

enum class For { Both, Scores, Distances };

struct Option {
  const char* name;
  bool valued;
  For program;
  void (*take)(AnalystOptions& o, Seen& seen, const std::string& value);
};

constexpr uint64_t kMostNodes = std::numeric_limits<int32_t>::max();

const Option kOptions[] = {
    {"--format", true, For::Both,
     [](AnalystOptions& o, Seen&, const std::string& v) {
       const std::optional<InputFormat> format = Formats_Named(v);
       if (!format) Usage("--format takes one of " + std::string(Formats_Words()) + ", not '" + v + "'");
       o.read.format = *format;
     }},
    {"--header", false, For::Both,
     [](AnalystOptions& o, Seen& s, const std::string&) {
       o.read.header = HeaderChoice::Yes;
       s.header = true;
     }},
    {"--no-header", false, For::Both,
     [](AnalystOptions& o, Seen& s, const std::string&) {
       o.read.header = HeaderChoice::No;
       s.noHeader = true;
     }},
    {"--columns", true, For::Both,
     [](AnalystOptions& o, Seen&, const std::string& v) { o.read.columns = Formats_ParseColumns(v); }},
    {"--length", true, For::Both,
     [](AnalystOptions& o, Seen&, const std::string& v) { o.length = LengthNamed(v); }},
    {"--digits", true, For::Both,
     [](AnalystOptions& o, Seen& s, const std::string& v) {
       o.numbers.digits = static_cast<int>(Whole("--digits", v, 0, 30));
       s.digits = true;
     }},
    {"--exact", false, For::Both,
     [](AnalystOptions& o, Seen& s, const std::string&) {
       o.numbers.exact = true;
       s.exact = true;
     }},
    {"--csv", false, For::Both, [](AnalystOptions& o, Seen&, const std::string&) { o.csv = true; }},
    {"--normalized", false, For::Scores,
     [](AnalystOptions& o, Seen&, const std::string&) { o.normalized = true; }},
    {"--top", true, For::Scores,
     [](AnalystOptions& o, Seen&, const std::string& v) {
       o.top = static_cast<int64_t>(Whole("--top", v, 1, kMostNodes));
     }},
    {"--sample", true, For::Scores,
     [](AnalystOptions& o, Seen& s, const std::string& v) {
       o.sample = static_cast<int64_t>(Whole("--sample", v, 1, kMostNodes));
       s.sample = true;
     }},
    {"--epsilon", true, For::Scores,
     [](AnalystOptions& o, Seen& s, const std::string& v) {
       o.epsilon = Real("--epsilon", v);
       s.epsilon = true;
     }},
    {"--delta", true, For::Scores,
     [](AnalystOptions& o, Seen& s, const std::string& v) {
       o.delta = Real("--delta", v);
       s.delta = true;
     }},
    {"--adaptive", false, For::Scores,
     [](AnalystOptions&, Seen& s, const std::string&) { s.adaptive = true; }},
    {"--seed", true, For::Scores,
     [](AnalystOptions& o, Seen& s, const std::string& v) {
       o.seed = Whole("--seed", v, 0, std::numeric_limits<uint64_t>::max());
       s.seed = true;
     }},
    {"--sources", true, For::Distances,
     [](AnalystOptions& o, Seen&, const std::string& v) { o.sources = SpanNamed(v); }},
};

const Option* Find(const std::string& name) {
  for (const Option& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

void Exclusive(bool a, bool b, const char* first, const char* second) {
  if (a && b) Usage(std::string(first) + " and " + second + " cannot go together");
}

void Needs(bool a, bool b, const char* option, const char* needed) {
  if (a && !b) Usage(std::string(option) + " needs " + needed);
}

void CheckTogether(AnalystOptions& o, const Seen& s) {
  Exclusive(s.digits, s.exact, "--digits", "--exact");
  Exclusive(s.header, s.noHeader, "--header", "--no-header");
  Exclusive(s.sample, s.epsilon, "--sample", "--epsilon");
  Needs(s.delta, s.epsilon, "--delta", "--epsilon");
  Needs(s.adaptive, s.epsilon, "--adaptive", "--epsilon");
  Needs(s.seed, s.sample || s.epsilon, "--seed", "--sample or --epsilon");
  if (s.epsilon) Sampling_CheckBound(o.epsilon, o.delta);
  o.estimate = s.sample    ? Estimate::Sample
               : s.adaptive ? Estimate::Adaptive
               : s.epsilon  ? Estimate::Epsilon
                            : Estimate::Exact;
}

}  // namespace

AnalystOptions Analyst_ReadOptions(const Program& program, const std::vector<std::string>& args) {
  const bool scores = program.prints == Prints::Scores;
  AnalystOptions o;
  Seen seen;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {  // "-" is standard input
      files.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const Option* option = Find(name);
    if (option == nullptr) {
      Usage("unknown option '" + name + "' (" + program.name + " --help lists them)");
    }
    if (option->program != For::Both && (option->program == For::Scores) != scores) {
      Usage(name + " is an option of " + (scores ? "distances" : "scores") + ", not " +
            program.name);
    }
    std::string value;
    if (option->valued) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        Usage(name + " needs a value");
      }
    } else if (equals != std::string::npos) {
      Usage(name + " takes no value");
    }
    option->take(o, seen, value);
  }
  if (files.empty()) Usage("no EDGE_FILE given (- reads standard input)");
  if (files.size() > 1) {
    Usage("one EDGE_FILE only, not '" + files[0] + "' and '" + files[1] + "'");
  }
  o.read.path = files[0];
  CheckTogether(o, seen);
  return o;
}
