#include "tools/outputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "tools/toolError.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

// Temporary files still open, for the signal handler: fixed storage, so the
// handler touches nothing but plain memory and unlink().
const int kMaxTemps = 8;
char g_temps[kMaxTemps][4096];
volatile sig_atomic_t g_tempUsed[kMaxTemps];

int registerTemp(const std::string& path) {
    for (int i = 0; i < kMaxTemps; ++i) {
        if (!g_tempUsed[i] && path.size() < sizeof g_temps[i]) {
            std::memcpy(g_temps[i], path.c_str(), path.size() + 1);
            g_tempUsed[i] = 1;
            return i;
        }
    }
    return -1;
}

void unregisterTemp(int slot) {
    if (slot >= 0) g_tempUsed[slot] = 0;
}

extern "C" void onInterrupt(int sig) {
    for (int i = 0; i < kMaxTemps; ++i) {
        if (g_tempUsed[i]) unlink(g_temps[i]);
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

std::string dirName(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(sig, &action, nullptr);
}

COutputFile::COutputFile(const std::string& path)
    : m_path(path), m_out(&std::cout), m_slot(-1), m_committed(false) {
    if (path == "-") return;
    struct stat st;
    mode_t mode = 0;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw CToolError(EXIT_USAGE, path + ": is a directory");
        if (access(path.c_str(), W_OK) != 0) {
            throw CToolError(EXIT_USAGE, path + ": cannot write: " + std::strerror(errno));
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temp = dirName(path) + "/." + baseName(path) + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) throw CToolError(EXIT_USAGE, path + ": cannot write: " + std::strerror(errno));
    fchmod(fd, mode);
    close(fd);
    m_temp = temp;
    m_slot = registerTemp(m_temp);
    m_file.reset(new std::ofstream(m_temp, std::ios::binary | std::ios::trunc));
    if (!*m_file) {
        unlink(m_temp.c_str());
        unregisterTemp(m_slot);
        throw CToolError(EXIT_USAGE, path + ": cannot write");
    }
    m_out = m_file.get();
}

COutputFile::~COutputFile() {
    if (m_committed || m_temp.empty()) return;
    m_file.reset();
    unlink(m_temp.c_str());
    unregisterTemp(m_slot);
}

void COutputFile::commit() {
    if (m_temp.empty()) {
        m_out->flush();
        if (!*m_out) throw CToolError(EXIT_PROBLEM, "cannot write to standard output");
        m_committed = true;
        return;
    }
    m_file->close();
    const bool written = !m_file->fail();
    if (!written || std::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        const std::string why = written ? std::strerror(errno) : "write failed";
        unlink(m_temp.c_str());
        unregisterTemp(m_slot);
        m_committed = true;
        throw CToolError(EXIT_PROBLEM, m_path + ": cannot write: " + why);
    }
    unregisterTemp(m_slot);
    m_committed = true;
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
