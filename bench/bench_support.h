// What the benchmarks share: the package they run on, coordinates near its
// address points, and the memory the process holds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "kavrel/format/blocks.h"

namespace kavrel::bench {

// The package to measure: the first argument left after the benchmark
// library took its flags, else $KAVREL_PACKAGE, else the national package
// of the build.
std::string PackagePath(int argc, char** argv);

struct Coordinate {
  double latitude;   // degrees
  double longitude;  // degrees
};

// Every address point record of the package's point blocks, in directory
// order; empty when the package does not open.
std::vector<PointRecord> PackageRecords(const std::string& path);

// The same points in degrees.
std::vector<Coordinate> PackagePoints(const std::string& path);

// `count` of `points` (not empty) picked at random, each moved by up to
// 0.003 degrees (about 330 m of latitude) each way; the same for every run.
std::vector<Coordinate> SampleNear(const std::vector<Coordinate>& points, std::size_t count);

// The system's load averages over 1, 5 and 15 minutes ("/proc/loadavg"),
// as text; "?" where that is not available.
std::string LoadAverage();

// The process's resident memory now ("VmRSS") or at its peak ("VmHWM"), in
// MiB, from /proc/self/status; 0 where that is not available.
double MemoryMiB(const char* field);

}  // namespace kavrel::bench
