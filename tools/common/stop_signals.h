// The tools' stop signals: SIGINT, SIGTERM and SIGHUP are noted instead of
// ending the process at once, so that a run can end its child and remove its
// temporaries first, and only then end by the signal.
#pragma once

#include <sys/types.h>

// From here on the stop signals are only recorded. Without SA_RESTART a wait
// or a write in progress returns at the signal, so a loop sees it at once.
void holdStopSignals();
// The recorded stop signal, or 0.
int stopSignal();
// The child that a stop signal ends with `signal` straight from the handler,
// so no moment is left in which a signal could arrive unseen; 0 for none.
// A child noted after a stop was recorded is ended at once.
void noteRunningChild(pid_t pid, int signal);
// Gives the stop signals their default action back; when one was recorded,
// ends the process by it (the shell sees 128 + its number: 130, 143, 129).
void releaseStopSignals();
