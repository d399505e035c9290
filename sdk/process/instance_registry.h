#ifndef VARNIX_PROCESS_INSTANCE_REGISTRY_H
#define VARNIX_PROCESS_INSTANCE_REGISTRY_H

#include <stdint.h>

namespace varnix {

/// @file
/// The processes of the runtime share one value, the UI process id, kept in
/// the 4-byte file "/var/run/uipidshm" (under the host root) that each of them
/// maps shared. The first process to open the registry creates the file and
/// becomes the master: it alone keeps a table of the additional processes it
/// has started through the launcher. Every later process is a slave and only
/// shares the UI process id; so is every process as long as the file exists,
/// also after the master has ended.

/// One additional process of the master: the command text it was launched
/// with, and its id; pid 0 and an empty name mark a free entry.
struct TProcessEntry {
  char name[128];
  int32_t pid;
};

const int KMaxAdditionalProcesses = 10;

/// Decides master or slave, creates the file when master, opens and maps it.
/// forceMaster makes this process the master even when the file exists (its
/// value is reset to 0). Prints "Opening in MASTER mode" or "Opening in SLAVE
/// mode"; ends the process with status 1 when the file can be neither created
/// nor opened ("Error: cannot open uipid file."). Does nothing when the
/// registry is open already. Should the file not map, the registry is open
/// without the shared value: GetUiPid gives 0 and SetUiPid does nothing.
void OpenUiPidFile(int forceMaster);

/// The shared UI process id, 0 when none; opens the registry first.
int32_t GetUiPid();

/// Writes the shared UI process id when the registry is open; returns pid.
int32_t SetUiPid(int32_t pid);

/// Clears the shared UI process id when it is this process's own; returns 0.
int32_t ReleaseUiPid();

/// Unmaps and closes the file and drops the table; the registry then counts as
/// not open, and the next GetUiPid joins again (as a slave while the file
/// exists).
void CloseUiPidFile();

/// Master only: asks the launcher about each recorded process and frees the
/// entries of those that have ended (clearing the UI process id when it was
/// one of them).
void ReapZombieProcesses();

/// Master only: the pid of the recorded process started with exactly this
/// command text, or starts it through the launcher and records it. Returns the
/// pid; 0 in a slave or when all entries are taken; -1 when the launch failed
/// or the command text has 128 characters or more (it would not fit an entry).
int32_t LaunchAdditionalProcess(const char* command);

}  // namespace varnix

#endif
