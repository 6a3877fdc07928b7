// Runs tarnwex-cli as a user does, through the shell, and keeps what it said.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/ByteWriter.h"

namespace tw::test {

struct TRun {
  int status;
  std::string out, err;
};

// `args` are shell words; stderr goes through `errFile`. `prefix` runs
// before the tool in the same shell line (a limit, another user).
inline TRun RunCli(const std::string& args, const std::string& errFile, const std::string& prefix = "") {
  std::string cmd = prefix + TARNWEX_CLI + " " + args + " 2>" + errFile;
  TRun r{};
  FILE* p = ::popen(cmd.c_str(), "r");
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadFile(errFile);
  return r;
}

// One shell word.
inline std::string Q(const std::string& s) { return "'" + s + "'"; }

}  // namespace tw::test
