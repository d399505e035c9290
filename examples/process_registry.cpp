// The instance registry and the launcher.
//
// The first process of the runtime to open the registry becomes its master.
// This one does, hands the UI process id around, and starts a copy of itself
// as a helper through the device's launcher. The helper joins as a slave,
// takes over as the UI process and ends; the master's reaper notices the end,
// frees the helper's entry and clears the UI process id.
//
//   example-process-registry          (run by its absolute path)
//   example-process-registry helper   (what the master launches)
//
// Needs the launcher (varnix-launcherd on a desktop). Exit status 0 when the
// helper was launched, seen and reaped.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "varnix.h"

using namespace varnix;

namespace {

const int KPollMicroseconds = 50 * 1000;
const int KPollLimit = 200;  // ten seconds

// Polls until condition holds, at most ten seconds.
template <class Condition>
bool PollUntil(Condition condition) {
  for (int i = 0; i < KPollLimit; ++i) {
    if (condition()) return true;
    SleepMicroseconds(KPollMicroseconds);
  }
  return false;
}

int RunHelper() {
  int32_t master = GetUiPid();  // joins the registry: a slave, since the file exists
  printf("helper %d: the UI process is %d; taking over\n", static_cast<int>(getpid()), static_cast<int>(master));
  SetUiPid(getpid());
  fflush(stdout);
  return 0;
}

int RunMaster(const char* self) {
  OpenUiPidFile(0);
  SetUiPid(getpid());
  printf("UI process: %d (this process)\n", static_cast<int>(GetUiPid()));

  // The launcher splits its command text at blanks and runs no shell.
  CInlineString<128> command;
  command.Format("%s helper", self);
  if (self[0] != '/' || strchr(self, ' ') != nullptr || command.Length() >= 127) {
    printf("Run this program by an absolute path without blanks (not %s)\n", self);
    return 1;
  }
  int32_t helper = LaunchAdditionalProcess(command.Text());
  if (helper == 0) {
    puts("Not the master (the registry existed already): nothing launched");
    return 1;
  }
  if (helper < 0) {
    puts("The launcher did not start the helper: is it running?");
    return 1;
  }
  if (!PollUntil([helper] { return GetUiPid() == helper; })) {
    printf("The helper %d never took over as UI process\n", static_cast<int>(helper));
    return 1;
  }
  printf("UI process: %d (the helper)\n", static_cast<int>(helper));

  // The reaper asks the launcher about every recorded process; the ended
  // helper is freed, and since it was the UI process, the id goes back to 0.
  if (!PollUntil([] {
        ReapZombieProcesses();
        return GetUiPid() == 0;
      })) {
    printf("The helper %d was not reaped\n", static_cast<int>(helper));
    return 1;
  }
  printf("UI process: %d (none: the helper has ended and was reaped)\n", static_cast<int>(GetUiPid()));
  CloseUiPidFile();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "helper") == 0) return RunHelper();
  return RunMaster(argv[0]);
}
