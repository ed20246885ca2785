#include "programs/Drivers.h"

int main(int argc, char** argv) { return Program_Main(Deliverable::Linkbridge, argc, argv); }
