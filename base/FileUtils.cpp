#include "base/FileUtils.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw {
namespace {

bool EndsWith(std::string_view s, char c) { return !s.empty() && s.back() == c; }

std::string AddTrailing(std::string_view path, char sep, bool keepEmpty) {
  std::string result(path);
  if (keepEmpty && result.empty()) return result;
  if (!EndsWith(result, sep)) result += sep;
  return result;
}

std::string RemoveLeading(std::string_view path, char sep, int times) {
  for (int i = 0; i < times && !path.empty() && path.front() == sep; ++i) path.remove_prefix(1);
  return std::string(path);
}

std::string Parent(std::string_view path, char sep) {
  if (path.empty()) return {};
  path.remove_suffix(1);
  const auto pos = path.rfind(sep);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string LastAfter(std::string_view path, char sep, std::string_view stops) {
  if (EndsWith(path, sep)) path.remove_suffix(1);
  const auto pos = path.find_last_of(stops);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string Join(std::string_view a, std::string_view b, std::string_view c, char sep) {
  return AddTrailing(a, sep, true) + AddTrailing(RemoveLeading(b, sep, 1), sep, true) + RemoveLeading(c, sep, 2);
}

// The full name of an executable found through PATH; empty when there is none.
std::string FindProgram(const std::string& name) {
  const char* env = std::getenv("PATH");
  std::string_view dirs = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const auto colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    struct stat st{};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    if (colon == std::string_view::npos) return {};
    dirs.remove_prefix(colon + 1);
  }
}

// Only async-signal-safe calls may follow a fork in a program with threads.
[[noreturn]] void ReportAndExit(int fd) {
  const int err = errno;
  [[maybe_unused]] auto n = write(fd, &err, sizeof err);
  _exit(127);
}

}  // namespace

std::string FormatNumber(double x) {
  if (!std::isfinite(x)) return "0";
  const double magnitude = std::fabs(x);
  const double whole = std::trunc(magnitude);
  const auto hundredths = static_cast<int>((magnitude - whole) * 100);
  char buffer[400];
  // Whole numbers below 2^63 are exact as integers and need no printf.
  if (whole < 9.2e18) {
    auto end = std::to_chars(buffer, buffer + sizeof buffer - 1, static_cast<uint64_t>(whole)).ptr;
    *end = '\0';
  } else {
    std::snprintf(buffer, sizeof buffer, "%.0f", whole);
  }
  const std::string digits = buffer;
  std::string result;
  if (x < 0 && (whole != 0 || hundredths != 0)) result += '-';
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) result += ' ';
    result += digits[i];
  }
  if (hundredths != 0) {
    result += '.';
    result += static_cast<char>('0' + hundredths / 10);
    result += static_cast<char>('0' + hundredths % 10);
  }
  return result;
}

TDateTime FileTimeToDate(const struct timespec& time) {
  TDateTime result = 0;
  return TryUnixToDateTimeUtc(time.tv_sec, time.tv_nsec, result) ? result : NowDateTime();
}

int64_t MakeInt64(uint32_t high, uint32_t low) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

std::string FileExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  const auto sep = name.find_last_of("/\\");
  if (sep != std::string_view::npos && sep > dot) return {};
  return std::string(name.substr(dot));
}

std::string StripToLastSlash(std::string_view text) {
  const auto pos = text.rfind('/');
  return std::string(pos == std::string_view::npos ? text : text.substr(pos + 1));
}

std::string ParentPath(std::string_view path) { return Parent(path, '\\'); }
std::string LastComponent(std::string_view path) { return LastAfter(path, '\\', "\\:"); }
std::string AddBackslash(std::string_view path) { return AddTrailing(path, '\\', false); }
std::string AddBackslashIfAny(std::string_view path) { return AddTrailing(path, '\\', true); }
std::string RemoveLeadingBackslash(std::string_view path) { return RemoveLeading(path, '\\', 1); }

std::string DrivePart(std::string_view path) {
  const auto colon = path.find(':');
  if (colon == std::string_view::npos) return {};
  std::string full(path);
  if (colon + 1 == full.size()) full += '\\';
  return full.substr(0, colon + 2);
}

std::string JoinPath(std::string_view a, std::string_view b, std::string_view c) { return Join(a, b, c, '\\'); }

std::string AddSlash(std::string_view path) { return AddTrailing(path, '/', false); }
std::string AddSlashIfAny(std::string_view path) { return AddTrailing(path, '/', true); }
std::string RemoveLeadingSlash(std::string_view path) { return RemoveLeading(path, '/', 1); }
std::string ParentSourcePath(std::string_view path) { return Parent(path, '/'); }
std::string LastSourceComponent(std::string_view path) { return LastAfter(path, '/', "/"); }

std::string JoinSourcePath(std::string_view a, std::string_view b, std::string_view c) {
  return Join(a, b, c, '/');
}

bool OpenWithDefaultHandler(const std::string& target, const std::string& workingDir) {
  if (target.empty()) return false;
  std::string program = FindProgram("xdg-open");
  if (program.empty()) return false;
  // A leading "-" would be read as an option.
  std::string argument = target.front() == '-' ? "./" + target : target;
  char* argv[] = {program.data(), argument.data(), nullptr};

  // The handler may run as long as the opened program does, so it is started
  // from a short-lived intermediate child and left to init; a close-on-exec
  // pipe tells whether the exec itself succeeded.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    close(fds[0]);
    const pid_t handler = fork();
    if (handler < 0) ReportAndExit(fds[1]);
    if (handler > 0) _exit(0);
    setsid();
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) ReportAndExit(fds[1]);
    execv(program.c_str(), argv);
    ReportAndExit(fds[1]);
  }
  close(fds[1]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  do {
    n = read(fds[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  close(fds[0]);
  return n == 0;
}

bool ShellOpen(const std::string& fileName) {
  struct stat st{};
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0) return true;
  // Absolute, so that the change of working folder keeps it valid.
  std::error_code ec;
  const std::string full = std::filesystem::absolute(fileName, ec).string();
  if (ec) return true;
  std::string folder = ParentSourcePath(full);
  if (folder.size() > 1) folder.pop_back();
  return !OpenWithDefaultHandler(full, folder);
}

}  // namespace tw
