#ifndef VARNIX_BASE_OPEN_FILE_REGISTRY_H
#define VARNIX_BASE_OPEN_FILE_REGISTRY_H

#include <stdint.h>

#include "base/dyn_string.h"
#include "base/heap_object.h"
#include "base/stream_file.h"

namespace varnix {

/// The stream files whose contents live on the memory card. When the card
/// goes away, the owner calls Suspend: every registered file remembers its
/// position and is closed. When the card is back, Resume reopens them, checks
/// that files opened for reading kept their size, and puts each back at its
/// position. The owner keeps every registered file object alive while the
/// registry is suspended.
class COpenFileRegistry : public CHeapObject {
 public:
  static const int KMaxEntries = 16;

  /// Entries hold no pointers into themselves: one moves with a byte copy.
  struct TEntry {
    CStreamFile* file;      ///< not owned
    int writable;
    int32_t savedPosition;  ///< saved by Suspend; -1 when none
    int32_t savedSize;      ///< size at registration (reading); -1 (writing)
    CPathString path;       ///< the path the file was opened with
  };

  COpenFileRegistry();

  /// The index of the new entry, or -1 while suspended or when all
  /// KMaxEntries entries are in use. Called by the opens of CStreamFile.
  int Register(CStreamFile* file, const CDynString& path, int isWritable);

  /// Removes the file's entry (the last entry moves into its place; the
  /// moved file's RegistryIndex is not updated). Does nothing while
  /// suspended. Called by CStreamFile::Close.
  void Unregister(CStreamFile* file);

  int IndexOf(const CStreamFile* file) const;
  TEntry* EntryOf(const CStreamFile* file);

  /// 1 and the entry when index names a used entry that holds file;
  /// otherwise 0 and null.
  int EntryAt(int index, const CStreamFile* file, TEntry*& entry);

  /// Nested: only the first Suspend closes the files, only the matching last
  /// Resume reopens them.
  void Suspend();

  /// 0; -1 when a file could not be reopened or positioned; -2 when a file
  /// opened for reading changed its size. A failure prints a notice and asks
  /// for a reboot; the entries from the failing one on stay closed (or, after
  /// -2, that one open) and keep their saved positions, so that a later
  /// Suspend and Resume can restore them. Their entries stay: an owner that
  /// gives such a file up instead calls Unregister for it before the file
  /// object goes (Close of a closed file does not touch the registry).
  int Resume();

  int SuspendCount() const { return suspendCount; }
  int Count() const { return count; }
  const TEntry& Entry(int index) const { return entries[index]; }

 private:
  int32_t suspendCount;
  int32_t count;
  TEntry entries[KMaxEntries];
};

/// 1 when path does not begin with the internal flash root ("/mnt/flash/"
/// under the host root), 0 when it does.
int IsOutsideFlash(const CDynString& path);

/// Asks the platform to reboot the device. This system cannot; the call
/// returns at once.
void RequestReboot(int reason);

}  // namespace varnix

#endif
