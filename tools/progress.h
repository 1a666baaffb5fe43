// Progress of a long run on standard error: holdings so far, holdings per
// second and, when the size of the input is known, the percent of it read.
// Shown only when standard error is a terminal, at most twice a second, on
// one line that is rewritten and cleared at the end.
#ifndef ZU_ZOZOV_TOOLS_PROGRESS_H
#define ZU_ZOZOV_TOOLS_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <string>

namespace qvt {
namespace ht {
namespace tool {

class CProgress {
  public:
    // totalBytes: the size of the input, 0 when unknown (a pipe).
    explicit CProgress(std::uint64_t totalBytes);
    ~CProgress() { finish(); }

    // Call once per holding.
    void tick(std::uint64_t holdings, std::uint64_t bytesRead) {
        if (m_enabled && (holdings & 0x3FF) == 0) show(holdings, bytesRead);
    }
    void finish();

  private:
    void show(std::uint64_t holdings, std::uint64_t bytesRead);

    bool m_enabled;
    bool m_shown;
    std::uint64_t m_total;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
};

// The size of the regular file at path; 0 for "-" and anything else.
std::uint64_t fileSize(const std::string& path);

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_PROGRESS_H
