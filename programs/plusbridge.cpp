#include "cli/Program.h"

int main(int argc, char** argv) { return Program_Main(Deliverable::Plusbridge, argc, argv); }
