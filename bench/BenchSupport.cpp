#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

extern char** environ;

namespace tw::bench {
namespace {

std::string WithoutSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

void MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      throw std::runtime_error("cannot create " + part + ": " + std::strerror(errno));
  }
}

std::string BenchDir() {
  std::string dir;
  if (const char* d = std::getenv("TARNWEX_BENCH_DIR"); d && *d)
    dir = d;
  else if (const char* t = std::getenv("TMPDIR"); t && *t)
    dir = WithoutSlash(t) + "/tarnwex-bench";
  else
    dir = "/tmp/tarnwex-bench";
  dir = WithoutSlash(dir);
  MakeDirs(dir);
  return dir;
}

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double BestOf(int runs, const std::function<double()>& f) {
  double best = std::numeric_limits<double>::infinity();
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

TChildResult RunChild(const std::vector<std::string>& argv, bool capture) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int out[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (capture) {
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }

  TChildResult r;
  double start = Now();
  pid_t pid = -1;
  int err = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (capture) ::close(out[1]);
  if (err != 0) {
    if (capture) ::close(out[0]);
    throw std::runtime_error("cannot run " + argv[0] + ": " + std::strerror(err));
  }
  if (capture) {
    char buf[4096];
    for (;;) {
      ssize_t n = ::read(out[0], buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      r.Output.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
  }
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  r.Seconds = Now() - start;
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.MaxRssKb = usage.ru_maxrss;
  return r;
}

std::string SelfPath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) throw std::runtime_error("cannot read /proc/self/exe");
  return std::string(buf, static_cast<size_t>(n));
}

int64_t PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoll(line.c_str() + 6, nullptr, 10);
  return -1;
}

int64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool FileExists(const std::string& path) { return FileSize(path) >= 0; }

double CatSeconds(const std::string& file) {
  auto once = [&] {
    TChildResult r = RunChild({"cat", file}, false);
    if (r.Status != 0) throw std::runtime_error("cat " + file + " failed");
    return r.Seconds;
  };
  once();
  return BestOf(3, once);
}

void TReport::Reference(const std::string& what) const {
  std::printf("  %-40s %9.3f s\n", what.c_str(), cat_);
}

void TReport::Time(const std::string& what, double seconds, double limit) {
  std::printf("  %-40s %9.3f s  %7.2fx %-5s limit %7.3f s  ", what.c_str(), seconds, seconds / cat_, label_.c_str(),
              limit);
  Verdict(seconds <= limit);
}

void TReport::Memory(const std::string& what, double mb, double baseMb, double limitMb) {
  std::printf("  %-40s %9.1f MB %7.1fx file  limit %7.1f MB ", what.c_str(), mb, mb / baseMb, limitMb);
  Verdict(mb <= limitMb);
}

void TReport::Verdict(bool pass) {
  std::printf("%s\n", pass ? "PASS" : "FAIL");
  std::fflush(stdout);
  failed_ = failed_ || !pass;
}

int BenchMain(int argc, char** argv, const char* name, const char* usage, int (*run)(const std::string& dir)) {
  try {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argc == 1) return run(BenchDir());
    if (argc == 2 && command[0] != '-') return run(argv[1]);
    std::fputs(usage, stderr);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name, e.what());
    return 1;
  }
}

}  // namespace tw::bench
