#include "base/open_file_registry.h"

#include <stdio.h>
#include <string.h>

#include "base/host_root.h"

namespace varnix {

COpenFileRegistry::COpenFileRegistry() : suspendCount(0), count(0) {
  for (TEntry& entry : entries) {
    entry.file = nullptr;
    entry.writable = 0;
    entry.savedPosition = -1;
    entry.savedSize = -1;
  }
}

int COpenFileRegistry::Register(CStreamFile* file, const CDynString& path, int isWritable) {
  if (suspendCount != 0 || count >= KMaxEntries) return -1;
  int index = count;
  TEntry& entry = entries[index];
  entry.file = file;
  ++count;
  entry.savedSize = isWritable ? -1 : file->Size();
  entry.writable = isWritable;
  entry.savedPosition = -1;
  entry.path.AssignTerminated(path);
  return index;
}

void COpenFileRegistry::Unregister(CStreamFile* file) {
  int index = IndexOf(file);
  if (index < 0 || suspendCount != 0) return;
  --count;
  if (index != count) memcpy(static_cast<void*>(&entries[index]), &entries[count], sizeof(TEntry));
}

int COpenFileRegistry::IndexOf(const CStreamFile* file) const {
  for (int i = 0; i < count; ++i)
    if (entries[i].file == file) return i;
  return -1;
}

COpenFileRegistry::TEntry* COpenFileRegistry::EntryOf(const CStreamFile* file) {
  int index = IndexOf(file);
  return index >= 0 ? &entries[index] : nullptr;
}

int COpenFileRegistry::EntryAt(int index, const CStreamFile* file, TEntry*& entry) {
  // Entries above count are left-overs of moved entries, not in use.
  if (index >= 0 && index < count && entries[index].file == file) {
    entry = &entries[index];
    return 1;
  }
  entry = nullptr;
  return 0;
}

void COpenFileRegistry::Suspend() {
  if (++suspendCount > 1) return;
  for (int i = 0; i < count; ++i) {
    TEntry& entry = entries[i];
    if (entry.savedPosition == -1) entry.savedPosition = entry.file->Tell();
    // Its Unregister does nothing while suspended, so the entry stays.
    entry.file->Close();
  }
}

int COpenFileRegistry::Resume() {
  if (suspendCount == 0) return 0;
  if (--suspendCount > 0) return 0;
  int result = 0;
  for (int i = 0; i < count && result == 0; ++i) {
    TEntry& entry = entries[i];
    CStreamFile* file = entry.file;
    result = entry.writable ? file->OpenWrite(entry.path, nullptr, 1) : file->OpenRead(entry.path, nullptr);
    bool opened = result == 0;
    file->registry = this;
    file->registryIndex = IndexOf(file);
    if (opened && !entry.writable) result = file->Size() == entry.savedSize ? 0 : -2;
    if (result == 0) result = file->Seek(entry.savedPosition);
    // An entry that could not be restored keeps its position, so that the
    // next remount can still put the file back where it was.
    if (result == 0) entry.savedPosition = -1;
  }
  if (result != 0) {
    puts("Rebooting some relevant files changed on the SD card, discovered when the SD card was remounted");
    fflush(stdout);
    RequestReboot(0);
  }
  return result;
}

int IsOutsideFlash(const CDynString& path) {
  CPathString flash;
  LocationPath(flash, ELocationFlash);
  int n = flash.Length();
  if (path.Length() < n) return 1;
  return memcmp(path.Data(), flash.Data(), static_cast<size_t>(n)) != 0 ? 1 : 0;
}

void RequestReboot(int reason) { (void)reason; }

}  // namespace varnix
