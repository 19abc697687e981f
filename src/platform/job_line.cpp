// The line of jobs: numbers handed out under a lock, the jobs made outside it.
#include "platform/job_line.hpp"

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/host.hpp"
#include "platform/interrupts.hpp"

JobLine::JobLine(std::function<void(std::size_t)> make) : make_(std::move(make)) {
    // Started with interruptions held, the helper keeps them blocked: they
    // reach the main thread, whose holds keep them out while names change.
    InterruptHold hold;
    try {
        if (host::faulted("thread")) throw std::system_error(errno, std::generic_category());
        helper_ = std::thread([this] { serve(); });
    } catch (const std::system_error &) {
    }
}

void JobLine::add() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++added_;
    }
    work_.notify_one();
}

void JobLine::wait_for(std::size_t job) {
    std::unique_lock<std::mutex> hold(lock_);
    // The helper's job is the only one being made beside this thread's.
    while (!(job < started_ && !(helper_busy_ && helper_job_ <= job))) {
        if (started_ < added_) {
            const std::size_t mine = started_++;
            hold.unlock();
            make_(mine);
            hold.lock();
        } else {
            made_.wait(hold);
        }
    }
}

void JobLine::stop() {
    if (!helper_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    work_.notify_one();
    helper_.join();
}

void JobLine::serve() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        work_.wait(hold, [this] { return stop_ || started_ < added_; });
        if (stop_) return;
        const std::size_t job = started_++;
        helper_job_ = job;
        helper_busy_ = true;
        hold.unlock();
        make_(job);
        hold.lock();
        helper_busy_ = false;
        made_.notify_one();
    }
}
