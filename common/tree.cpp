#include "common/tree.h"

namespace qvtlib {
namespace common {

const char* const CTreeException::NODE_IN_OTHER_TREE = "The node might be in more than one tree.";

CTreeException::CTreeException(const std::string& message) : m_message(message) {}

CTreeException::~CTreeException() noexcept {}

const char* CTreeException::what() const noexcept { return m_message.c_str(); }

namespace detail {

void throwNodeInOtherTree() { throw CTreeException(CTreeException::NODE_IN_OTHER_TREE); }

}  // namespace detail

}  // namespace common
}  // namespace qvtlib
