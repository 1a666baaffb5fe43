// The error that ends a run of the command-line tool, with its exit status:
// 1 for bad input data or rules, 2 for bad usage, an unreadable input or an
// output that cannot be written.  The message is UTF-8 and names the file.
#ifndef ZU_ZOZOV_TOOLS_TOOLERROR_H
#define ZU_ZOZOV_TOOLS_TOOLERROR_H

#include <stdexcept>
#include <string>

namespace qvt {
namespace ht {
namespace tool {

enum ExitStatus { EXIT_OK = 0, EXIT_PROBLEM = 1, EXIT_USAGE = 2 };

class CToolError : public std::runtime_error {
  public:
    CToolError(int status, const std::string& message)
        : std::runtime_error(message), m_status(status) {}
    int getStatus() const { return m_status; }

  private:
    int m_status;
};

}  // namespace tool
}  // namespace ht
}  // namespace qvt

#endif  // ZU_ZOZOV_TOOLS_TOOLERROR_H
