#pragma once
// corvane-batch run as a user runs it: the real binary, its stdout and exit code, and its
// stderr through a file in `dir`.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "temp_dir.h"

namespace corvane::test {

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

inline Result run_batch(const std::string& args, const TempDir& dir) {
  const std::string err_file = (dir.path() / "stderr.txt").string();
  const std::string cmd = std::string(CORVANE_BATCH) + " " + args + " 2>" + err_file;
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.err = dir.read("stderr.txt");
  return r;
}

}  // namespace corvane::test
