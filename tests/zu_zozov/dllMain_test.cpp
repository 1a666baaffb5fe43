#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ProbeRun {
  int exitCode = -1;
  std::vector<std::string> lines;  // standard error, one entry per line
};

// Runs the load probe on the built library and collects its standard error.
ProbeRun runProbe() {
  ProbeRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    execl(ZU_ZOZOV_LOAD_PROBE, ZU_ZOZOV_LOAD_PROBE, ZU_ZOZOV_LIB_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  return run;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

TEST(LibraryEntryPoint, LoadAndUnloadWriteOneEnterExitRecordEach) {
  const ProbeRun run = runProbe();
  ASSERT_EQ(0, run.exitCode) << joined(run.lines);

  const std::string attach = "ENTER_EXIT ENTER_EXIT dll attach: zu_zozov! (-:-1)";
  const std::string detach = "ENTER_EXIT ENTER_EXIT dll detach: zu_zozov! (-:-1)";
  std::vector<std::string> records;
  for (const std::string& line : run.lines) {
    if (line.rfind("ENTER_EXIT", 0) == 0) records.push_back(line);
  }
  // Thread attach and detach in between write nothing.
  ASSERT_EQ((std::vector<std::string>{attach, detach}), records) << joined(run.lines);

  auto at = [&](const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) - run.lines.begin();
  };
  // The load record comes from dlopen itself; the unload record after the
  // library's last use (from dlclose, or at exit if the loader keeps it).
  EXPECT_LT(at("probe: opening"), at(attach));
  EXPECT_LT(at(attach), at("probe: opened"));
  EXPECT_LT(at("probe: thread joined"), at(detach));
}

}  // namespace
