// A large output's data synced a stretch at a time on a thread beside its
// writer, so that the sync before the rename has little left to wait for.
#pragma once
#include <atomic>
#include <string>
#include <thread>

#include "platform/host.hpp"

class EarlySync {
  public:
    EarlySync() = default;
    ~EarlySync() { finish(); }
    EarlySync(const EarlySync &) = delete;
    EarlySync &operator=(const EarlySync &) = delete;

    // Starts syncing what h holds so far and returns at once; nothing while a
    // sync is under way (the next one takes what was written meanwhile), or
    // where no thread can be had.
    void request(host::Handle h);
    // Waits for the sync under way: false if one failed since the last
    // finish. A failure is never lost: a system may report a failed writeback
    // to one sync only.
    bool finish();
    // The first failure's reason.
    const std::string &why() const { return why_; }

  private:
    std::thread thread_;
    std::atomic<bool> busy_{false};
    bool failed_ = false; // written by the syncing thread, read once it is joined
    std::string why_;
};
