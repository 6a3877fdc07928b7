// What every benchmark shares: where generated data lives, a clock, running a
// child process, the reference time of `cat` and the report lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tw::bench {

// $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench, else /tmp/tarnwex-bench;
// created when missing. Never inside the source tree.
std::string BenchDir();

// The main of a benchmark over generated data: `run` on DIR (the bench
// folder without an argument), --help prints `usage`; exit 2 on wrong usage,
// 1 on an error.
int BenchMain(int argc, char** argv, const char* name, const char* usage, int (*run)(const std::string& dir));

// Creates `path` and its missing parents.
void MakeDirs(const std::string& path);

// Seconds on a monotonic clock.
double Now();

// The best (smallest) of `runs` calls of `f`, which returns a measured figure.
double BestOf(int runs, const std::function<double()>& f);

struct TChildResult {
  int Status = -1;          // exit status, or -1 when killed by a signal
  std::string Output;       // what the child wrote to its standard output
  double Seconds = 0;       // wall time from spawn to exit
  int64_t MaxRssKb = 0;     // the child's own peak resident set
};

// Runs argv[0] (searched in PATH) with the given arguments. Its standard
// output is captured, or discarded when `capture` is false.
TChildResult RunChild(const std::vector<std::string>& argv, bool capture);

// This program's own path, for spawning itself.
std::string SelfPath();

// The process's peak resident set in KB (VmHWM).
int64_t PeakRssKb();

int64_t FileSize(const std::string& path);
bool FileExists(const std::string& path);

// `cat FILE > /dev/null`: one run to warm the page cache, then the best of 3.
double CatSeconds(const std::string& file);

// Report lines: a figure beside the reference and its limit, PASS or FAIL.
class TReport {
 public:
  // `label` names the reference in the ratio column.
  explicit TReport(double referenceSeconds, std::string label = "cat")
      : cat_(referenceSeconds), label_(std::move(label)) {}
  void Reference(const std::string& what) const;
  // A time, shown with its ratio to the reference time.
  void Time(const std::string& what, double seconds, double limit);
  // An amount of memory in MB, shown with its ratio to `baseMb` (the file size).
  void Memory(const std::string& what, double mb, double baseMb, double limitMb);
  bool Failed() const { return failed_; }

 private:
  void Verdict(bool pass);
  double cat_;
  std::string label_;
  bool failed_ = false;
};

}  // namespace tw::bench
