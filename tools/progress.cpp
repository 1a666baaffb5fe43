#include "tools/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace qvt {
namespace ht {
namespace tool {

CProgress::CProgress(std::uint64_t totalBytes)
    : m_enabled(isatty(STDERR_FILENO) != 0),
      m_shown(false),
      m_total(totalBytes),
      m_start(std::chrono::steady_clock::now()),
      m_last(m_start) {}

void CProgress::show(std::uint64_t holdings, std::uint64_t bytesRead) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < std::chrono::milliseconds(500)) return;
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(stderr, "\r%llu holdings, %.0f/s", static_cast<unsigned long long>(holdings),
                 seconds > 0 ? static_cast<double>(holdings) / seconds : 0.0);
    if (m_total > 0) {
        std::fprintf(stderr, ", %.0f%%", 100.0 * static_cast<double>(bytesRead) / m_total);
    }
    std::fprintf(stderr, "\033[K");
    std::fflush(stderr);
    m_shown = true;
}

void CProgress::finish() {
    if (!m_shown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_shown = false;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st;
    if (path == "-" || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
