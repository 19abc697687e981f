// Interruptions (signals, console events) that end the program: unfinished
// outputs are removed first. Failures of writing become ordinary errors.
#pragma once

// From now on every signal whose default action ends the program (Ctrl-C,
// SIGTERM, a closed terminal, SIGQUIT, a console window closed ...) runs
// cleanup (which removes the temporary files of unfinished outputs, allocating
// nothing) before the program ends the way that signal ends it. A reader of the
// console that has gone (SIGPIPE) and a file size limit (SIGXFSZ) no longer end
// it: the write fails and says why.
void clean_up_on_interrupt(void (*cleanup)());

// Holds interruptions back while the table of unfinished outputs or the final
// names change; holds nest.
class InterruptHold {
  public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold &) = delete;
    InterruptHold &operator=(const InterruptHold &) = delete;
};
