#include "storage/directory_file_operations.h"

#include "base/os.h"
#include "base/path_operations.h"
#include "device/platform_properties.h"
#include "storage/directory_catalogue.h"
#include "storage/file_catalogue.h"
#include "storage/file_scanner.h"

namespace varnix {
namespace {

CDynString NameOf(const CFileScanner::TEntry& entry) { return CDynString::RightView(*entry.path, entry.nameLength); }

// target directory + the entry's name, cut at 255 characters.
void TargetPath(CPathString& out, const CDynString& target, const CFileScanner::TEntry& entry) {
  out.Assign(target);
  out.AppendTerminated(NameOf(entry));
  out.Terminate();
}

// Whether the two paths name one file: the target of a move into the
// source's own directory (however it is spelled) must not be deleted first.
bool IsSameFile(const CDynString& a, const CDynString& b) {
  CPathString first;
  CPathString second;
  first.Assign(a);
  second.Assign(b);
  struct stat firstInfo;
  struct stat secondInfo;
  if (os::Stat(first.Terminate(), &firstInfo) != 0 || os::Stat(second.Terminate(), &secondInfo) != 0) return false;
  return firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
}

// The first file of directory whose path ends with suffix, or null. The
// entry belongs to scanner.
CFileScanner::TEntry* FirstWithSuffix(CFileScanner& scanner, const CDynString& suffix) {
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next())
    if (EndsWithNoCase(*entry->path, suffix)) return entry;
  return nullptr;
}

// 1 when the directory was there, else MakeDir's result.
int EnsureDirectory(int id) {
  CDynString& path = GetDirectoryPath(id);
  if (DirectoryExists(path)) return 1;
  return MakeDir(path);
}

bool NeedsContacts(int32_t model) { return model == 2 || model == 3 || model == KModel144 || model == KModel400; }

}  // namespace

int DirectoryHasFileWithSuffix(const CDynString& suffix, const CDynString& directory) {
  CFileScanner scanner(directory, EScanFilesOnly);
  return FirstWithSuffix(scanner, suffix) != nullptr ? 1 : 0;
}

int FindFileWithSuffix(CDynString& name, const CDynString& directory, const CDynString& suffix) {
  CFileScanner scanner(directory, EScanFilesOnly);
  CFileScanner::TEntry* entry = FirstWithSuffix(scanner, suffix);
  if (entry == nullptr) return 0;
  name.AssignTerminated(NameOf(*entry));
  return 1;
}

int DeleteDirectoryFiles(const CDynString& directory) {
  CFileScanner scanner(directory, EScanFilesOnly);
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next())
    DeleteFile(*entry->path);
  return 0;
}

int MoveDirectoryFiles(const CDynString& source, const CDynString& target) {
  CFileScanner scanner(source, EScanFilesOnly);
  CPathString targetPath;
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next()) {
    TargetPath(targetPath, target, *entry);
    if (!IsSameFile(*entry->path, targetPath)) DeleteFile(targetPath);
    int result = RenameFile(*entry->path, targetPath);
    if (result != 0) return result;
  }
  // A listing cut short by a read error leaves files behind unseen.
  return scanner.Incomplete() ? -1 : 0;
}

int CopyDirectoryFiles(const CDynString& source, const CDynString& target) {
  CPathString targetPath;
  targetPath.Assign(target);
  if (!DirectoryExists(targetPath)) return -1;
  CFileScanner scanner(source, EScanFilesOnly);
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next()) {
    TargetPath(targetPath, target, *entry);
    int result = CopyFile(*entry->path, targetPath);
    if (result != 0) return result;
  }
  return scanner.Incomplete() ? -1 : 0;
}

int EnsureDirectories() {
  if (NeedsContacts(GetModelId())) EnsureDirectory(EDirContacts);
  EnsureDirectory(EDirItn);
  EnsureDirectory(EDirLogging);
  return EnsureDirectory(EDirFlash);
}

}  // namespace varnix
