// Test helper: runs work on a thread with a host thread's small stack (1 MiB),
// where a walk that recurses over the depth of its input crashes.
#ifndef ZU_ZOZOV_TESTS_SUPPORT_SMALLSTACK_H
#define ZU_ZOZOV_TESTS_SUPPORT_SMALLSTACK_H

#include <cstddef>
#include <functional>

namespace testsupport {

const std::size_t SMALL_STACK = 1024 * 1024;

// Runs work on a new thread with a stack of `bytes` and waits for it.  An
// exception that leaves work is rethrown here.
void onSmallStack(const std::function<void()>& work, std::size_t bytes = SMALL_STACK);

}  // namespace testsupport

#endif
