#include "support/smallStack.h"

#include <pthread.h>

#include <exception>
#include <stdexcept>

namespace testsupport {

namespace {

struct Job {
    const std::function<void()>* work;
    std::exception_ptr error;
};

void* runJob(void* arg) {
    Job* job = static_cast<Job*>(arg);
    try {
        (*job->work)();
    } catch (...) {
        job->error = std::current_exception();
    }
    return nullptr;
}

}  // namespace

void onSmallStack(const std::function<void()>& work, std::size_t bytes) {
    Job job = {&work, nullptr};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    const int failed = pthread_create(&thread, &attr, &runJob, &job);
    pthread_attr_destroy(&attr);
    if (failed != 0) throw std::runtime_error("cannot start a thread");
    pthread_join(thread, nullptr);
    if (job.error) std::rethrow_exception(job.error);
}

}  // namespace testsupport
