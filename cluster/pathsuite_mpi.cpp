#include "cluster/Cluster.h"

int main(int argc, char** argv) { return Cluster_Main(argc, argv); }
