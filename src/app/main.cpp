// groundzero: finds the base level of a DEM and raises its null collar to it.
#include <new>

#include "app/command_line.hpp"
#include "platform/console.hpp"
#include "platform/interrupts.hpp"
#include "platform/unfinished_outputs.hpp"
#include "run/ask.hpp"
#include "run/state.hpp"

int main(int argc, char **argv) {
    if (const int status = command_line(argc, argv); status >= 0) return status;
    // An interruption removes the unfinished outputs and gives the terminal back.
    clean_up_on_interrupt([] {
        remove_unfinished_outputs();
        console_restore_terminal();
    });
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
