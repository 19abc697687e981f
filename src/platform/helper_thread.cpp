// The helper thread: one job at a time, handed over under a lock.
#include "platform/helper_thread.hpp"

#include <cerrno>
#include <system_error>

#include "platform/host.hpp"

HelperThread::HelperThread() {
    try {
        if (host::faulted("thread")) throw std::system_error(errno, std::generic_category());
        thread_ = std::thread([this] { serve(); });
    } catch (const std::system_error &) {
    }
}

HelperThread::~HelperThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HelperThread::run(void (*call)(void *), void *job) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        call_ = call;
        job_ = job;
        busy_ = true;
    }
    wake_.notify_all();
}

void HelperThread::finish() {
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [this] { return !busy_; });
}

void HelperThread::serve() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return busy_ || stop_; });
        if (!busy_) return;
        hold.unlock();
        call_(job_);
        hold.lock();
        busy_ = false;
        done_.notify_all();
    }
}
