// The thread that refreshes the leases of a run's files. It starts with the
// first lease, from code that holds interruptions back, so that it inherits
// their blocked mask and never takes a signal meant for the main thread.
#include "platform/lease.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {
// Never destroyed: outputs may drop their leases while the program ends,
// after the destructors of other files' objects have run.
class Refresher {
  public:
    void hold(host::Handle h) {
        std::lock_guard<std::mutex> hold(lock_);
        held_.push_back(h);
        if (started_) return;
        try {
            std::thread([this] { serve(); }).detach();
            started_ = true;
        } catch (const std::system_error &) {
            // Without a thread, the files are refreshed by their writes alone.
        }
    }

    void drop(host::Handle h) {
        std::lock_guard<std::mutex> hold(lock_);
        held_.erase(std::remove(held_.begin(), held_.end(), h), held_.end());
    }

  private:
    void serve() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            wake_.wait_for(hold, std::chrono::seconds(lease_refresh_seconds));
            for (host::Handle h : held_)
                host::touch(h);
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<host::Handle> held_;
    bool started_ = false;
};

Refresher &refresher() {
    static Refresher *const r = new Refresher;
    return *r;
}
} // namespace

void lease_hold(host::Handle h) {
    refresher().hold(h);
}

void lease_drop(host::Handle h) {
    refresher().drop(h);
}
