#include <string>
#include <vector>

#include "runner/Runner.h"

int main(int argc, char** argv) {
  return Runner_Main("pathsuite", std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
