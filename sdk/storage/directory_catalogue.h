#ifndef VARNIX_STORAGE_DIRECTORY_CATALOGUE_H
#define VARNIX_STORAGE_DIRECTORY_CATALOGUE_H

#include "base/dyn_string.h"

namespace varnix {

/// The device's well-known directories. Values without a name (1, 3, 6, 19,
/// 21, 22, 24, 25, 34, 35) resolve to the card root; so do EDirNone, 32,
/// negative values and values above 35.
enum DirectoryId {
  EDirNone = 0,
  EDirArt = 2,
  EDirSchemes = 4,
  EDirContacts = 5,
  EDirDemo = 7,
  EDirItn = 8,
  EDirLogging = 9,
  EDirMicrobrowser = 10,
  EDirLoquendoTTS = 11,
  EDirMicrobrowserCache = 12,
  EDirMicrobrowserDownload = 13,
  EDirMicrobrowserResource = 14,
  EDirMp3 = 15,
  EDirPhotos = 16,
  EDirZip = 17,
  EDirRaster = 18,
  EDirScreen = 20,
  EDirScript = 23,
  EDirRun = 26,
  EDirSdkRegistry = 27,
  EDirFlash = 28,
  EDirCardRoot = 29,
  EDirVoices = 30,
  EDirDocs = 31,
  EDirEphem = 33
};

/// The full path of id under the host root, ending in "/" and terminated.
/// The result is one string shared by the whole process: the next call of
/// GetDirectoryPath, GetSubdirectory or GetCardFilePath overwrites it. Use
/// it at once (append a file name and open it) or copy it.
CDynString& GetDirectoryPath(int id);

/// The shared result holding only the subdirectory of id ("art/",
/// "microbrowser/cache/"), empty when id has none.
CDynString& GetSubdirectory(int id);

/// The roots under the host root, assigned to out; each returns out.
///@{
CDynString& GetFlashRoot(CDynString& out);     ///< "/mnt/flash/"
CDynString& GetCardRoot(CDynString& out);      ///< "/mnt/sdcard/"
CDynString& GetRunRoot(CDynString& out);       ///< "/var/run/"
CDynString& GetBinRoot(CDynString& out);       ///< "/bin/"
CDynString& GetRegistryRoot(CDynString& out);  ///< card root + "SdkRegistry/"
CDynString& GetTtsRoot(CDynString& out);       ///< card root + "LoquendoTTS/"
CDynString& GetDataRoot(CDynString& out);      ///< the card root
///@}

/// out = the flash root + "settings.dat"; returns out.
CDynString& GetSettingsFilePath(CDynString& out);

/// The shared result: the card root followed by name, terminated.
CDynString& GetCardFilePath(const CDynString& name);

/// '/'
char PathSeparator();

}  // namespace varnix

#endif
