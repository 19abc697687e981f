// The early syncs of a large output, one at a time, each on a thread of its own.
#include "platform/early_sync.hpp"

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/interrupts.hpp"

void EarlySync::request(host::Handle h) {
    if (busy_) return;
    if (thread_.joinable()) thread_.join();
    busy_ = true;
    // Started with interruptions held, it keeps them blocked: they reach the
    // main thread, whose holds keep them out while names change.
    InterruptHold hold;
    try {
        if (host::faulted("thread")) throw std::system_error(errno, std::generic_category());
        thread_ = std::thread([this, h] {
            if (!host::sync_data(h) && !failed_) {
                failed_ = true;
                why_ = host::error_text();
            }
            busy_ = false;
        });
    } catch (const std::system_error &) {
        busy_ = false;
    }
}

bool EarlySync::finish() {
    if (thread_.joinable()) thread_.join();
    return !std::exchange(failed_, false);
}
