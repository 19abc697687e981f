// A second thread that runs one job at a time beside the caller, for work
// split in two halves. Where no thread can be had (a tight address-space
// limit), available() is false and the caller does the whole work alone.
#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

class HelperThread {
  public:
    HelperThread();
    ~HelperThread();
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    bool available() const { return thread_.joinable(); }
    // Starts job() on the helper; job must outlive finish().
    template <class Job> void start(Job &job) {
        run([](void *j) { (*static_cast<Job *>(j))(); }, &job);
    }
    // Waits until the job started last has ended.
    void finish();

  private:
    void run(void (*call)(void *), void *job);
    void serve();

    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    void (*call_)(void *) = nullptr;
    void *job_ = nullptr;
    bool busy_ = false, stop_ = false;
};

// Runs second on helper while first runs here, and returns once both have
// ended; runs both here, first first, where there is no helper (null, or no
// thread to be had). Neither half may write what the other uses.
template <class First, class Second>
void run_halves(HelperThread *helper, First &&first, Second &&second) {
    if (helper == nullptr || !helper->available()) {
        first();
        second();
        return;
    }
    helper->start(second);
    struct Finish { // even when first throws: second may use the caller's frame
        HelperThread &helper;
        ~Finish() { helper.finish(); }
    } finish{*helper};
    first();
}
