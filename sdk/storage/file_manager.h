#ifndef VARNIX_STORAGE_FILE_MANAGER_H
#define VARNIX_STORAGE_FILE_MANAGER_H

#include <stdint.h>

#include "base/dyn_string.h"
#include "base/heap_object.h"
#include "base/open_file_registry.h"

namespace varnix {

/// A base with nothing but a virtual destructor.
class CBase : public CHeapObject {
 public:
  ~CBase() override {}
};

/// Holds the current map directory and resolves the per-map files in it,
/// finds the numbered data files, and reads and writes "CurrentMap.dat", the
/// record naming the current map. The files it opens are registered with its
/// registry while open, so they survive a card remount (Suspend/Resume).
///
/// Paths handed out live in the manager's work path (or, for a data file
/// found on the card root, in the directory catalogue's shared string) and
/// change with the next path operation.
class CFileManager : public CBase {
 public:
  CFileManager();
  ~CFileManager() override;
  CFileManager(const CFileManager&) = delete;
  CFileManager& operator=(const CFileManager&) = delete;

  /// Accepts directory (ending in "/") as the map directory when it holds
  /// "MAPINFO.DAT": 0. Otherwise the map directory is cleared: -1.
  int SetMapDirectory(const CDynString& directory);

  /// The map directory followed by the per-map file's name (poi.dat,
  /// saved.log, mobile safety cameras.ov2, traffic.dat, tmccodes.dat); empty
  /// for any other id.
  CDynString& GetMapFilePath(int id);

  /// The map directory followed by "MapSettings.cfg", and "_reset" when
  /// reset is non-zero.
  CDynString& GetMapSettingsPath(int reset);

  /// "data07.chk" (index below 100) or "data123.chk" in the voices directory
  /// when it is there, else the same name in the card root (unchecked).
  CDynString& GetChkFilePath(int index);
  /// 1 when the path GetChkFilePath gives names a readable file, else 0.
  int ChkFileExists(int index);

  /// The text of "CurrentMap.dat", newly allocated with malloc (the caller
  /// frees it), or null when the file is missing or damaged.
  char* ReadCurrentMap();

  /// Writes text as the current map. A text longer than 255 characters is
  /// cut there, so that the record can always be read back. Errors are not
  /// reported.
  void WriteCurrentMap(const CDynString& text);

  COpenFileRegistry& Registry() { return registry; }
  const CDynString& MapDirectory() const { return mapDirectory; }
  int32_t MapValid() const { return mapValid; }
  CDynString& WorkPath() { return workPath; }

 private:
  COpenFileRegistry registry;
  CPathString mapDirectory;  ///< ends in "/", empty when none
  int32_t mapValid;          ///< 1 while mapDirectory holds an accepted directory
  CPathString workPath;      ///< the result of the last path operation
};

/// The longest text the "CurrentMap.dat" record holds, and its terminator.
const int KCurrentMapMaxLength = 256;

}  // namespace varnix

#endif
