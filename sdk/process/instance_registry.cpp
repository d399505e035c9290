#include "process/instance_registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/dyn_string.h"
#include "base/host_root.h"
#include "base/os.h"
#include "process/launcher_client.h"

namespace varnix {
namespace {

// The registry of this process; zero-initialised, so it starts not open.
struct TRegistry {
  bool open;
  int fd;
  volatile int32_t* shared;  // the mapped 4 bytes; null without a mapping
  TProcessEntry* table;      // master only; null in a slave
};

TRegistry gRegistry;

const size_t KSharedSize = sizeof(int32_t);

void Line(const char* text) {
  puts(text);
  fflush(stdout);
}

[[noreturn]] void FailOpen() {
  Line("Error: cannot open uipid file.");
  exit(1);
}

enum TCreateResult { ECreateFailed, ECreated, EAlreadyThere };

// Creates the complete file (4 zero bytes) under a name of this process's own
// beside it, then links it into place. link fails when the name exists, so of
// the processes that find the file missing exactly one creates it, and no
// process ever sees it shorter than 4 bytes.
TCreateResult CreateByLink(const char* path) {
  CPathString temp;
  int length = temp.Format("%s.%d.new", path, static_cast<int>(os::Getpid()));
  if (length >= temp.Capacity() - 1) return ECreateFailed;  // the name would be cut
  int fd = os::Open(temp.Text(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return ECreateFailed;
  int32_t zero = 0;
  bool written = os::Write(fd, &zero, KSharedSize) == static_cast<ssize_t>(KSharedSize);
  bool closed = os::Close(fd) == 0;
  TCreateResult result = ECreateFailed;
  if (written && closed) {
    if (os::Link(temp.Text(), path) == 0)
      result = ECreated;
    else if (errno == EEXIST)
      result = EAlreadyThere;
  }
  os::Unlink(temp.Text());
  return result;
}

// A forced master over an existing file: the value goes back to 0 in place,
// so processes that have it mapped keep sharing it with this one.
bool ResetInPlace(const char* path) {
  int fd = os::Open(path, O_WRONLY, 0);
  if (fd < 0) return false;
  int32_t zero = 0;
  bool written = os::Write(fd, &zero, KSharedSize) == static_cast<ssize_t>(KSharedSize);
  return os::Close(fd) == 0 && written;
}

// Maps the 4 bytes. A file shorter than that (made by someone else) is first
// grown with zeros: reading a mapping beyond the end of its file kills the
// process. Null when the file cannot be mapped.
volatile int32_t* MapShared(int fd) {
  struct stat info;
  if (os::Fstat(fd, &info) != 0) return nullptr;
  if (info.st_size < static_cast<off_t>(KSharedSize) && os::Ftruncate(fd, KSharedSize) != 0) return nullptr;
  void* mapping = os::Mmap(nullptr, KSharedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return mapping == MAP_FAILED ? nullptr : static_cast<volatile int32_t*>(mapping);
}

TProcessEntry* NewTable() {
  size_t size = KMaxAdditionalProcesses * sizeof(TProcessEntry);
  void* table = os::Malloc(size);
  if (table != nullptr) memset(table, 0, size);
  return static_cast<TProcessEntry*>(table);
}

}  // namespace

void OpenUiPidFile(int forceMaster) {
  if (gRegistry.open) return;
  CPathString path;
  LocationPath(path, ELocationUiPidFile);

  bool master;
  if (forceMaster != 0) {
    master = true;
    Line("Opening in MASTER mode");
    TCreateResult created = CreateByLink(path.Text());
    if (created == ECreateFailed || (created == EAlreadyThere && !ResetInPlace(path.Text()))) FailOpen();
  } else {
    int probe = os::Open(path.Text(), O_RDONLY, 0);
    TCreateResult created = EAlreadyThere;
    if (probe >= 0)
      os::Close(probe);
    else
      created = CreateByLink(path.Text());
    if (created == ECreateFailed) {  // the file is missing and cannot be made
      Line("Opening in MASTER mode");
      FailOpen();
    }
    master = created == ECreated;
    Line(master ? "Opening in MASTER mode" : "Opening in SLAVE mode");
  }
  if (master) gRegistry.table = NewTable();

  int fd = os::Open(path.Text(), O_RDWR, 0);
  if (fd < 0) FailOpen();
  gRegistry.fd = fd;
  gRegistry.shared = MapShared(fd);
  gRegistry.open = true;
}

int32_t GetUiPid() {
  if (!gRegistry.open) OpenUiPidFile(0);
  return gRegistry.shared != nullptr ? *gRegistry.shared : 0;
}

int32_t SetUiPid(int32_t pid) {
  if (gRegistry.open && gRegistry.shared != nullptr) *gRegistry.shared = pid;
  return pid;
}

int32_t ReleaseUiPid() {
  if (GetUiPid() == static_cast<int32_t>(os::Getpid())) SetUiPid(0);
  return 0;
}

void CloseUiPidFile() {
  if (!gRegistry.open) return;
  if (gRegistry.shared != nullptr) os::Munmap(const_cast<int32_t*>(gRegistry.shared), KSharedSize);
  os::Close(gRegistry.fd);
  os::Free(gRegistry.table);
  memset(&gRegistry, 0, sizeof gRegistry);
}

void ReapZombieProcesses() {
  TProcessEntry* table = gRegistry.table;
  if (table == nullptr) return;
  for (int i = 0; i < KMaxAdditionalProcesses; ++i) {
    TProcessEntry& entry = table[i];
    if (entry.pid == 0) continue;
    int32_t ended = 0, status = 0;
    WaitForProcess(entry.pid, &ended, &status);
    if (ended != entry.pid) continue;
    printf("Found zombie process [%s] with id %d\n", entry.name, entry.pid);
    fflush(stdout);
    if (GetUiPid() == entry.pid) SetUiPid(0);
    memset(&entry, 0, sizeof entry);
  }
}

int32_t LaunchAdditionalProcess(const char* command) {
  TProcessEntry* table = gRegistry.table;
  if (table == nullptr) return 0;
  // A command that does not fit an entry could never be found again, so it
  // is refused rather than recorded cut.
  if (command == nullptr || strnlen(command, sizeof table->name) >= sizeof table->name) {
    Line("Launching additional process failed!");
    return -1;
  }
  ReapZombieProcesses();
  for (int i = 0; i < KMaxAdditionalProcesses; ++i)
    if (strcmp(table[i].name, command) == 0) return table[i].pid;

  TProcessEntry* slot = nullptr;
  for (int i = 0; i < KMaxAdditionalProcesses && slot == nullptr; ++i)
    if (table[i].pid == 0) slot = &table[i];
  if (slot == nullptr) {
    printf("Maximum (%d) processes are running!\n", KMaxAdditionalProcesses);
    fflush(stdout);
    return 0;
  }

  int32_t pid = LaunchProcess(command);
  printf("child_pid is %d\n", pid);
  fflush(stdout);
  if (pid > 0) {
    strcpy(slot->name, command);
    slot->pid = pid;
    return pid;
  }
  Line("Launching additional process failed!");
  return pid;
}

}  // namespace varnix
