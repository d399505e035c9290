#ifndef VARNIX_STORAGE_FILE_SCANNER_H
#define VARNIX_STORAGE_FILE_SCANNER_H

#include <dirent.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include "base/dyn_string.h"

namespace varnix {

/// Flags of CFileScanner; the bit values are part of the interface.
enum {
  EScanRecursive = 0x1,           ///< descend into subdirectories
  EScanAllMounts = 0x2,           ///< the directory is relative, below every mount under "/mnt/"
  EScanFilesOnly = 0x10000,       ///< report files only
  EScanDirectoriesOnly = 0x20000  ///< report directories only
};

/// Walks a directory and hands out its entries one at a time, with a fixed
/// footprint: one 256-character path, one 2048-byte stack of directories
/// still to visit, at most one open directory stream. Nothing is allocated
/// per entry and a tree walk does not recurse on the call stack.
///
///   CFileScanner scanner(dir, EScanFilesOnly);   // dir ends in "/"
///   for (CFileScanner::TEntry* e = scanner.First(); e; e = scanner.Next())
///     ... e->path, the last e->nameLength characters are the name ...
///
/// "<ROOT>" as the directory walks every readable directory under "/mnt/"
/// (except "initrd"); with EScanDirectoriesOnly those directories themselves
/// are reported first. Entries come in directory order, unsorted; in a tree
/// walk every entry of a directory comes before the contents of its
/// subdirectories, which are entered last-found first. "." and ".." are
/// never reported. An entry whose status cannot be read (a dangling link)
/// ends the listing of its directory; a subdirectory that does not fit the
/// pending stack, or whose name does not fit the path, is not visited.
class CFileScanner {
 public:
  struct TEntry {
    int32_t isDirectory;  ///< status with links followed
    CDynString* path;     ///< the scanner's path: full path, "/" after a directory
    int32_t nameLength;   ///< the name is the last nameLength characters of path
  };

  CFileScanner(const CDynString& directory, uint32_t flags);
  virtual ~CFileScanner();
  CFileScanner(const CFileScanner&) = delete;
  CFileScanner& operator=(const CFileScanner&) = delete;

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;

  /// The first accepted entry, or null. Call once.
  TEntry* First();

  /// The next accepted entry, or null when the walk is over (and from then
  /// on). The entry and its path are overwritten by the next call.
  TEntry* Next();

  /// 1 when the listing of a directory ended before its end: a read error,
  /// or an entry whose status could not be read (a dangling link, a failing
  /// medium). The walk then gave fewer entries than the directory holds.
  int Incomplete() const { return incomplete; }

 private:
  void SetName(const char* name, int length, int isDir);
  void GoUp();
  void PushPending(const char* text, int length);
  bool PopPending();
  int StatusOf(const char* name, bool whole, struct stat* info, int lookup);
  bool ReadEntry();
  bool Accept() const;
  bool CollectMounts();
  bool OpenDirectory();
  bool PopAndOpen();
  void CloseDirectory();
  TEntry* NextMount();

  CPathString path;
  int16_t prefixLength;   ///< leading characters of path naming the directory listed
  int16_t pendingLength;  ///< bytes used in pending; the read position in the mount list
  char* pending;
  TEntry entry;
  uint32_t flags;
  DIR* directory;
  int dotName;     ///< the last entry is "." or ".."
  int nameFits;    ///< the last entry's name and its "/" fitted the path
  int incomplete;  ///< a listing ended early
};

}  // namespace varnix

#endif
