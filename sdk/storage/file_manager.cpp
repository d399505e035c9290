#include "storage/file_manager.h"

#include "base/os.h"
#include "base/path_operations.h"
#include "base/stream_file.h"
#include "storage/directory_catalogue.h"
#include "storage/file_catalogue.h"

namespace varnix {
namespace {

bool IsMapFile(int id) {
  return id == EFilePoi || id == EFileSavedLog || id == EFileSafetyCameras || id == EFileTraffic ||
         id == EFileTmcCodes;
}

// The record's length field is little-endian on every host.
int32_t LoadLength(const unsigned char* bytes) {
  uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return static_cast<int32_t>(value);
}

void StoreLength(unsigned char* bytes, int32_t length) {
  uint32_t value = static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Reads the record from an open file: the text block, or null.
char* ReadRecord(CStreamFile& file) {
  unsigned char field[4];
  if (file.Read(field, sizeof field) != static_cast<int>(sizeof field)) return nullptr;
  int32_t n = LoadLength(field);
  if (n < 1 || n > KCurrentMapMaxLength) return nullptr;
  char* text = static_cast<char*>(os::Malloc(static_cast<size_t>(n)));
  if (text == nullptr) return nullptr;
  if (file.Read(text, n) != n || text[n - 1] != 0) {
    os::Free(text);
    return nullptr;
  }
  return text;
}

}  // namespace

CFileManager::CFileManager() : mapValid(0) {}

CFileManager::~CFileManager() {}

int CFileManager::SetMapDirectory(const CDynString& directory) {
  CPathString candidate;  // directory may be this manager's own work path
  candidate.Assign(directory);
  workPath.Assign(candidate);
  workPath.AppendTerminated(CDynString::WrapText("MAPINFO.DAT"));
  if (FileExists(workPath)) {
    mapValid = 1;
    mapDirectory.AssignTerminated(candidate);
    return 0;
  }
  mapDirectory.SetLength(0);
  mapDirectory.Terminate();
  mapValid = 0;
  return -1;
}

CDynString& CFileManager::GetMapFilePath(int id) {
  workPath.SetLength(0);
  if (IsMapFile(id)) {
    workPath.Assign(mapDirectory);
    workPath.AppendString(CDynString::WrapText(GetFileName(id)));
  }
  workPath.Terminate();
  return workPath;
}

CDynString& CFileManager::GetMapSettingsPath(int reset) {
  workPath.Assign(mapDirectory);
  workPath.AppendString(CDynString::WrapText("MapSettings.cfg"));
  if (reset != 0) workPath.AppendString(CDynString::WrapText("_reset"));
  workPath.Terminate();
  return workPath;
}

CDynString& CFileManager::GetChkFilePath(int index) {
  CShortString name;
  if (index < 100)
    name.Format("data%02d.chk", index);
  else
    name.Format("data%d.chk", index);
  workPath.Assign(GetDirectoryPath(EDirVoices));
  workPath.AppendTerminated(name);
  if (FileExists(workPath)) return workPath;
  return GetCardFilePath(name);
}

int CFileManager::ChkFileExists(int index) { return FileExists(GetChkFilePath(index)); }

char* CFileManager::ReadCurrentMap() {
  CStreamFile file;
  if (file.OpenRead(GetFilePath(EFileCurrentMap), &registry) != 0) return nullptr;
  char* text = ReadRecord(file);
  file.Close();
  return text;
}

void CFileManager::WriteCurrentMap(const CDynString& text) {
  CStreamFile file;
  if (file.OpenWrite(GetFilePath(EFileCurrentMap), &registry, 0) != 0) return;
  int length = text.Length() < KCurrentMapMaxLength ? text.Length() : KCurrentMapMaxLength - 1;
  unsigned char field[4];
  StoreLength(field, length + 1);
  file.Write(field, sizeof field);
  file.Write(text.Data(), length);
  file.Write("", 1);
  file.Close();
}

}  // namespace varnix
