// groundzero: finds the base level of a DEM and raises its null collar to it.
#include <new>

#include "app/command_line.hpp"
#include "platform/interrupts.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

int main(int argc, char **argv) {
    if (const int status = command_line(argc, argv); status >= 0) return status;
    remove_outputs_on_interrupt();
    watch_console(fail_console);
    try {
        opening();
        treatment();
    } catch (const std::bad_alloc &) {
        fail_out_of_memory();
    }
    report_files_written();
    return 0;
}
