#ifndef VARNIX_STORAGE_FILE_CATALOGUE_H
#define VARNIX_STORAGE_FILE_CATALOGUE_H

#include "base/dyn_string.h"

namespace varnix {

/// The device's well-known files. The per-map files (4, 9, 14, 37, 38) have
/// no directory here: CFileManager resolves them in the current map
/// directory.
enum FileId {
  EFileDataChk = 1,             ///< "data.chk"
  EFileBif = 2,                 ///< "vxmobile.bif"
  EFileBuddies = 3,             ///< contacts/"buddies.dat"
  EFilePoi = 4,                 ///< map: "poi.dat"
  EFileCurrentMap = 5,          ///< "CurrentMap.dat"
  EFileDemoVideo = 6,           ///< demo/"demovideo.avi"
  EFileDeviceList = 7,          ///< "devicelist.bin"
  EFileGpsLog = 8,              ///< logging/"gps.log"
  EFileSavedLog = 9,            ///< map: "saved.log"
  EFileAddress = 10,            ///< contacts/"address.txt"
  EFileModelData = 11,          ///< "qx740.dat"
  EFileTemporaryItinerary = 12, ///< itn/"temporary.iti"
  EFileSystem = 13,             ///< "vxsystem"
  EFileSafetyCameras = 14,      ///< map: "mobile safety cameras.ov2"
  EFileCrowd = 16,              ///< art/"crowd.bmp"
  EFileContacts = 18,           ///< contacts/"contacts.txt"
  EFileCallers = 19,            ///< contacts/"callers.txt"
  EFileCalled = 20,             ///< contacts/"called.txt"
  EFileInbox = 21,              ///< contacts/"inbox.txt"
  EFileOutbox = 22,             ///< contacts/"outbox.txt"
  EFilePhoneCaps = 23,          ///< "phncps.dat"
  EFilePlusError = 24,          ///< "pluserror.txt"
  EFilePostalGreatBritain = 25, ///< zip/"Great_Britain.Postal"
  EFilePostalNederland = 26,    ///< zip/"Nederland.Postal"
  EFileRingtone = 27,           ///< "ringtone.ogg"
  EFileCapture = 28,            ///< screen/"capture"
  EFileMasterScript = 29,       ///< "master.script"
  EFileAutostart = 30,          ///< "autostart.txt"
  EFileDemoScript = 31,         ///< script/"demo.script"
  EFileReplay = 32,             ///< "replay.html"
  EFileMenu = 33,               ///< SdkRegistry/"varnix.mnu"
  EFileServiceDiscovery = 34,   ///< "servicediscovery.txt"
  EFileSettings = 35,           ///< flash: "settings.dat"
  EFileSmsReceived = 36,        ///< "smsreceived.ogg"
  EFileTraffic = 37,            ///< map: "traffic.dat"
  EFileTmcCodes = 38,           ///< map: "tmccodes.dat"
  EFileEphemeris = 39,          ///< ephem/"packedephemeris.ee"
  EFileEphemerisMeta = 40,      ///< ephem/"ee_meta.txt"
  EFileTmcEvents = 41,          ///< "tmcevents.dat"
  EFileRdsTmc = 42,             ///< "RDSTMC.exe"
  EFileHsdc = 43                ///< "hsdc.txt"
};

/// File types by extension; any other value has the empty extension.
enum FileType {
  EFileTypeBif = 1,   ///< ".bif"
  EFileTypeNone = 2,  ///< ""
  EFileTypeBmp = 3,   ///< ".bmp"
  EFileTypeBin = 4,   ///< ".bin"
  EFileTypeMac = 5,   ///< ".mac"
  EFileTypeMds = 6,   ///< ".mds"
  EFileTypeMms = 7,   ///< ".mms"
  EFileTypeMpr = 8,   ///< ".mpr"
  EFileTypeOgg = 9,   ///< ".ogg"
  EFileTypePna = 10,  ///< ".pna"
  EFileTypeOv2 = 11,  ///< ".ov2"
  EFileTypeSat = 12,  ///< ".sat"
  EFileTypeXml = 13,  ///< ".xml"
  EFileTypeEe = 14,   ///< ".ee"
  EFileTypeVif = 15,  ///< ".vif"
  EFileTypeJpeg = 16, ///< ".jpeg"
  EFileTypeJpg = 17,  ///< ".jpg"
  EFileTypeMp3 = 18,  ///< ".mp3"
  EFileTypeAvi = 19   ///< ".avi"
};

/// The DirectoryId of the file, EDirNone (0) for ids without one.
int GetFileDirectory(int id);

/// The file's bare name, null for ids without a file (the per-map files
/// have names).
const char* GetFileName(int id);

/// The file's full path in the directory catalogue's shared string (see
/// GetDirectoryPath): valid until the next call into the catalogue. An id
/// without a directory gives GetDirectoryPath(EDirNone) with nothing appended.
CDynString& GetFilePath(int id);

/// A read-only view of the type's extension constant.
CDynString GetFileExtension(int type);

/// 1 when text ends with suffix, compared without regard to case; an empty
/// suffix matches every text.
int EndsWithNoCase(const CDynString& text, const CDynString& suffix);

/// 1 when path ends with the type's extension; a type without an extension
/// matches every path.
int HasFileType(const CDynString& path, int type);

/// Cuts path before its last "." (anywhere in the path; nothing is cut when
/// there is none), appends the type's extension, terminates and returns it.
CDynString& SetFileType(CDynString& path, int type);

/// A view of the file name of path without its directory and its extension
/// (from after the last "/" to before the last "." that follows it).
CDynString GetFileTitle(const CDynString& path);

}  // namespace varnix

#endif
