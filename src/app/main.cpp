// groundzero: finds the base level of a DEM and raises its null collar to it.
#include <new>

#include "app/ask.hpp"
#include "app/state.hpp"
#include "platform/files.hpp"

int main() {
    remove_outputs_on_interrupt();
    try {
        opening();
        treatment();
    } catch (const std::bad_alloc &) {
        fail_out_of_memory();
    }
    return 0;
}
