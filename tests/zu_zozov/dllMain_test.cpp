#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ProbeRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard error, one entry per line
};

#if defined(_WIN32)

// Runs the probe with its standard error on a pipe; returns the text and sets
// exitCode.
std::string runAndRead(ProbeRun& run) {
    std::string text;
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return text;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = writeEnd;
    std::string command =
        std::string("\"") + ZU_ZOZOV_LOAD_PROBE + "\" \"" + ZU_ZOZOV_LIB_PATH + "\"";
    PROCESS_INFORMATION process = {};
    const bool started = CreateProcessA(ZU_ZOZOV_LOAD_PROBE, &command[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &code))
            run.exitCode = int(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return text;
}

#else

std::string runAndRead(ProbeRun& run) {
    std::string text;
    int fds[2];
    if (pipe(fds) != 0) return text;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(ZU_ZOZOV_LOAD_PROBE, ZU_ZOZOV_LOAD_PROBE, ZU_ZOZOV_LIB_PATH,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return text;
}

#endif

// Runs the load probe on the built library and collects its standard error.
ProbeRun runProbe() {
    ProbeRun run;
    std::istringstream in(runAndRead(run));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // text mode on Windows
        run.lines.push_back(line);
    }
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
