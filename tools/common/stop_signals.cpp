// The tools' stop-signal holder.
#include "tools/common/stop_signals.h"

#include <csignal>

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t recordedStop = 0;
volatile std::sig_atomic_t runningChild = 0;
volatile std::sig_atomic_t childEndSignal = SIGTERM;

// kill() is safe in a handler.
void recordStop(int signal) {
  recordedStop = signal;
  if (runningChild > 0) kill(runningChild, childEndSignal);
}

}  // namespace

void holdStopSignals() {
  struct sigaction action = {};
  action.sa_handler = recordStop;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

int stopSignal() { return recordedStop; }

void noteRunningChild(pid_t pid, int signal) {
  runningChild = 0;
  childEndSignal = signal;
  runningChild = pid;
  if (pid > 0 && recordedStop) kill(pid, signal);
}

void releaseStopSignals() {
  for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
  if (recordedStop) std::raise(recordedStop);
}
