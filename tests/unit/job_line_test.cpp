// The line of jobs shared by the caller and its helper: every job made once,
// and made before the caller is told it is, with or without the helper.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/host.hpp"
#include "platform/job_line.hpp"

namespace {
bool refused = false; // no thread can be had
host::Fault refuse_threads(const char *call) {
    return refused && std::string(call) == "thread" ? host::Fault::io : host::Fault::none;
}
} // namespace

TEST(JobLine, EveryJobIsMadeOnceBeforeItsWaitReturns) {
    constexpr std::size_t jobs = 600, ahead = 8;
    host::fault_hook = refuse_threads;
    for (std::size_t stop_at : {jobs, jobs / 2, std::size_t{0}, jobs + 1}) {
        refused = stop_at > jobs;
        std::vector<std::atomic<int>> made(jobs);
        JobLine line([&](std::size_t job) {
            std::this_thread::sleep_for(std::chrono::microseconds(20)); // caught midway, if ever
            ++made[job];
        });
        std::size_t added = 0;
        for (std::size_t job = 0; job < jobs; ++job) {
            for (; added < jobs && added < job + ahead; ++added)
                line.add();
            if (job == stop_at) line.stop(); // the caller alone from here
            line.wait_for(job);
            ASSERT_EQ(made[job].load(), 1) << "job " << job << ", helper stopped at " << stop_at;
        }
        line.stop();
        for (std::size_t job = 0; job < jobs; ++job)
            ASSERT_EQ(made[job].load(), 1) << "job " << job;
    }
    refused = false;
    host::fault_hook = nullptr;
}
