#include "storage/file_catalogue.h"

#include "storage/directory_catalogue.h"

namespace varnix {
namespace {

struct TFileEntry {
  const char* name;  // null: no file
  int directory;     // EDirNone for the per-map files
};

const int KLastFileId = 43;

const TFileEntry KFiles[KLastFileId + 1] = {
    {nullptr, EDirNone},                          // 0
    {"data.chk", 1},                              // 1
    {"vxmobile.bif", 3},                          // 2
    {"buddies.dat", EDirContacts},                // 3
    {"poi.dat", EDirNone},                        // 4
    {"CurrentMap.dat", EDirCardRoot},             // 5
    {"demovideo.avi", EDirDemo},                  // 6
    {"devicelist.bin", EDirCardRoot},             // 7
    {"gps.log", EDirLogging},                     // 8
    {"saved.log", EDirNone},                      // 9
    {"address.txt", EDirContacts},                // 10
    {"qx740.dat", EDirCardRoot},                  // 11
    {"temporary.iti", EDirItn},                   // 12
    {"vxsystem", EDirCardRoot},                   // 13
    {"mobile safety cameras.ov2", EDirNone},      // 14
    {nullptr, EDirNone},                          // 15
    {"crowd.bmp", EDirArt},                       // 16
    {nullptr, EDirNone},                          // 17
    {"contacts.txt", EDirContacts},               // 18
    {"callers.txt", EDirContacts},                // 19
    {"called.txt", EDirContacts},                 // 20
    {"inbox.txt", EDirContacts},                  // 21
    {"outbox.txt", EDirContacts},                 // 22
    {"phncps.dat", EDirCardRoot},                 // 23
    {"pluserror.txt", EDirCardRoot},              // 24
    {"Great_Britain.Postal", EDirZip},            // 25
    {"Nederland.Postal", EDirZip},                // 26
    {"ringtone.ogg", 19},                         // 27
    {"capture", EDirScreen},                      // 28
    {"master.script", EDirCardRoot},              // 29
    {"autostart.txt", EDirCardRoot},              // 30
    {"demo.script", EDirScript},                  // 31
    {"replay.html", EDirCardRoot},                // 32
    {"varnix.mnu", EDirSdkRegistry},              // 33
    {"servicediscovery.txt", EDirCardRoot},       // 34
    {"settings.dat", EDirFlash},                  // 35
    {"smsreceived.ogg", 19},                      // 36
    {"traffic.dat", EDirNone},                    // 37
    {"tmccodes.dat", EDirNone},                   // 38
    {"packedephemeris.ee", EDirEphem},            // 39
    {"ee_meta.txt", EDirEphem},                   // 40
    {"tmcevents.dat", 34},                        // 41
    {"RDSTMC.exe", 35},                           // 42
    {"hsdc.txt", EDirCardRoot},                   // 43
};

const char* const KExtensions[] = {
    "",     ".bif", "",     ".bmp", ".bin", ".mac", ".mds", ".mms", ".mpr", ".ogg",
    ".pna", ".ov2", ".sat", ".xml", ".ee",  ".vif", ".jpeg", ".jpg", ".mp3", ".avi",
};

const int KExtensionCount = static_cast<int>(sizeof KExtensions / sizeof KExtensions[0]);

const TFileEntry* EntryOf(int id) { return id >= 0 && id <= KLastFileId ? &KFiles[id] : nullptr; }

}  // namespace

int GetFileDirectory(int id) {
  const TFileEntry* entry = EntryOf(id);
  return entry != nullptr ? entry->directory : EDirNone;
}

const char* GetFileName(int id) {
  const TFileEntry* entry = EntryOf(id);
  return entry != nullptr ? entry->name : nullptr;
}

CDynString& GetFilePath(int id) {
  int directory = GetFileDirectory(id);
  CDynString& path = GetDirectoryPath(directory);
  if (id == EFileSettings) {
    GetSettingsFilePath(path);
  } else if (directory != EDirNone) {
    path.AppendTerminated(CDynString::WrapText(GetFileName(id)));
  }
  path.Terminate();
  return path;
}

CDynString GetFileExtension(int type) {
  return CDynString::WrapText(type >= 0 && type < KExtensionCount ? KExtensions[type] : "");
}

int EndsWithNoCase(const CDynString& text, const CDynString& suffix) {
  if (text.Length() < suffix.Length()) return 0;
  return CDynString::RightView(text, suffix.Length()).CompareNoCase(suffix) == 0 ? 1 : 0;
}

int HasFileType(const CDynString& path, int type) { return EndsWithNoCase(path, GetFileExtension(type)); }

CDynString& SetFileType(CDynString& path, int type) {
  int dot = path.LastIndexOfChar('.');
  if (dot >= 0) path.SetLength(dot);
  path.AppendTerminated(GetFileExtension(type));
  path.Terminate();
  return path;
}

CDynString GetFileTitle(const CDynString& path) {
  int start = path.LastIndexOfChar('/') + 1;
  CDynString name = CDynString::TailView(path, start);
  int dot = name.LastIndexOfChar('.');
  return dot >= 0 ? CDynString::LeftView(name, dot) : name;
}

}  // namespace varnix
