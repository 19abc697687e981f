// The table of outputs not yet published, which interruptions and failures
// clean up.
#include "platform/unfinished_outputs.hpp"

#include "platform/interrupts.hpp"

namespace {
// Outputs opened and not yet committed or discarded, in a fixed table that the
// interruption handler can walk without allocating. Changed only while
// interruptions are held back.
constexpr int max_pending = 64;
OutFile *volatile pending[max_pending];

} // namespace

bool register_pending(OutFile *file) {
    InterruptHold hold;
    for (auto &slot : pending)
        if (slot == nullptr) {
            slot = file;
            return true;
        }
    return false;
}

void forget_pending(OutFile *file) {
    InterruptHold hold;
    for (auto &slot : pending)
        if (slot == file) slot = nullptr;
}

bool is_unfinished_output(const std::string &host_path) {
    for (OutFile *file : pending)
        if (file != nullptr && file->temp_path() == host_path) return true;
    return false;
}

void discard_all_outputs() {
    for (OutFile *file : pending)
        if (file != nullptr) file->discard();
}

void remove_unfinished_outputs() {
    for (OutFile *file : pending)
        if (file != nullptr) file->remove_now();
}
