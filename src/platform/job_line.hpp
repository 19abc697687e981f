// A line of jobs numbered in the order they are handed out, made by a helper
// thread and by the caller alike: the caller hands jobs out ahead, does its own
// work (reading, writing), and makes waiting jobs itself whenever it needs one
// made, so both processors stay busy. Where no thread can be had (a tight
// address-space limit), the caller makes every job.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

class JobLine {
  public:
    // make(job) runs on either thread, two jobs at once: it may touch only
    // what belongs to its job.
    explicit JobLine(std::function<void(std::size_t)> make);
    ~JobLine() { stop(); }

    // One more job, numbered on from the last (the first is 0).
    void add();
    // Returns once job and every job before it are made, making waiting jobs here meanwhile.
    void wait_for(std::size_t job);
    // Waits for the helper's job and ends the helper: the caller makes the jobs
    // from now on. Before anything ends the run, so that nothing runs beside it.
    void stop();

  private:
    void serve();

    const std::function<void(std::size_t)> make_;
    std::mutex lock_;
    std::condition_variable work_, made_;
    std::size_t added_ = 0;   // jobs handed out
    std::size_t started_ = 0; // jobs taken by either thread
    std::size_t helper_job_ = 0;
    bool helper_busy_ = false; // the helper is making helper_job_
    bool stop_ = false;
    std::thread helper_;
};
