// The benchmark's page generator, built into the tests as well, so that the
// pages the figures are measured on are also held to the plain search.
#include "bench/BenchPages.cpp"
