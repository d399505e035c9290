#include "storage/file_scanner.h"

#include <string.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "base/host_root.h"
#include "base/os.h"
#include "base/path_operations.h"

namespace varnix {
namespace {

const int KPendingSize = 2048;
const int KMaxPathLength = 255;

// The scanner's own state bits in the flags word.
const uint32_t KDirectoryOpen = 0x100;
const uint32_t KMountListing = 0x200;
const uint32_t KOwnBits = KDirectoryOpen | KMountListing;

const char KRootName[] = "<ROOT>";

bool IsText(const char* name, const char* text) { return strcmp(name, text) == 0; }

int CountSeparators(const char* text, int length) {
  int n = 0;
  for (int i = 0; i < length; ++i)
    if (text[i] == KPathSeparator) ++n;
  return n;
}

}  // namespace

void* CFileScanner::operator new(size_t size) noexcept { return os::Malloc(size); }
void CFileScanner::operator delete(void* block) noexcept { os::Free(block); }

CFileScanner::CFileScanner(const CDynString& start, uint32_t scanFlags)
    : prefixLength(0), pendingLength(0), pending(nullptr), flags(scanFlags & ~KOwnBits), directory(nullptr), dotName(0), nameFits(0), incomplete(0) {
  entry.isDirectory = 0;
  entry.path = &path;
  entry.nameLength = 0;
  int rootLength = static_cast<int>(sizeof KRootName) - 1;
  if (start.Length() == rootLength && memcmp(start.Data(), KRootName, static_cast<size_t>(rootLength)) == 0) {
    flags |= EScanAllMounts;
    if (flags & EScanDirectoriesOnly) flags |= KMountListing;
  } else {
    path.Assign(start);
  }
  path.Terminate();
  if (flags & (EScanRecursive | EScanAllMounts)) {
    // One byte more than the stack holds, always zero: a mount list that
    // fills the whole stack still ends in an empty string.
    pending = static_cast<char*>(os::Malloc(KPendingSize + 1));
    if (pending != nullptr) pending[KPendingSize] = 0;
  }
}

CFileScanner::~CFileScanner() {
  CloseDirectory();
  os::Free(pending);
}

void CFileScanner::SetName(const char* name, int length, int isDir) {
  path.SetLength(prefixLength);
  path.AppendChars(name, length);
  int n = path.Length();
  if (isDir && (n == 0 || path.CharAt(n - 1) != KPathSeparator)) path.AppendChar(KPathSeparator);
  path.Terminate();
  entry.isDirectory = isDir ? 1 : 0;
  entry.nameLength = path.Length() - prefixLength;
}

void CFileScanner::GoUp() {
  path.SetLength(prefixLength);
  int n = path.Length() - 1;
  while (n > 0 && path.CharAt(n - 1) != KPathSeparator) --n;
  if (n < 0) n = 0;
  prefixLength = static_cast<int16_t>(n);
  path.SetLength(n);
  path.Terminate();
}

void CFileScanner::PushPending(const char* text, int length) {
  if (pending == nullptr || pendingLength + length + 1 > KPendingSize) return;
  memcpy(pending + pendingLength, text, static_cast<size_t>(length));
  pending[pendingLength + length] = 0;
  pendingLength = static_cast<int16_t>(pendingLength + length + 1);
}

// Takes the next directory to visit from the stack into path. Empty strings
// on the way each move the prefix up one level, back to where it stood
// when the directory below them was taken.
bool CFileScanner::PopPending() {
  if (pending == nullptr || pendingLength <= 1) {
    pendingLength = 0;
    return false;
  }
  while (pending[pendingLength - 2] == 0) {
    GoUp();
    --pendingLength;
    if (pendingLength == 1) {
      pendingLength = 0;
      return false;
    }
  }
  int end = pendingLength - 1;
  int start = end;
  while (start > 0 && pending[start - 1] != 0) --start;
  int length = end - start;
  int levels = CountSeparators(pending + start, length);
  SetName(pending + start, length, 1);
  pendingLength = static_cast<int16_t>(start);
  for (int i = 0; i < levels; ++i) PushPending("", 0);
  return true;
}

void CFileScanner::CloseDirectory() {
  if (directory != nullptr) os::Closedir(directory);
  directory = nullptr;
  flags &= ~KDirectoryOpen;
}

bool CFileScanner::OpenDirectory() {
  prefixLength = static_cast<int16_t>(path.Length());
  directory = os::Opendir(path.CStr());
  if (directory == nullptr) return false;
  flags |= KDirectoryOpen;
  return true;
}

bool CFileScanner::PopAndOpen() {
  while (PopPending())
    if (OpenDirectory()) return true;
  return false;
}

// The status of the entry just named in path. A whole name is looked up in
// the open directory, which spares the kernel a walk of the full path for
// every entry; a name that was cut with the path is looked up as the cut
// path, which is what the walk reports.
int CFileScanner::StatusOf(const char* name, bool whole, struct stat* info, int lookup) {
  if (whole) return os::Fstatat(os::Dirfd(directory), name, info, lookup);
  if (lookup == AT_SYMLINK_NOFOLLOW) return os::Lstat(path.CStr(), info);
  return os::Stat(path.CStr(), info);
}

bool CFileScanner::ReadEntry() {
  struct dirent* record;
  int length;
  struct stat info;
  for (;;) {
    errno = 0;
    record = os::Readdir(directory);
    if (record == nullptr) {
      if (errno != 0) incomplete = 1;  // a read error, not the end
      CloseDirectory();
      return false;
    }
    length = static_cast<int>(strlen(record->d_name));
    SetName(record->d_name, length, 0);
    bool whole = path.Length() == prefixLength + length;
    if (StatusOf(record->d_name, whole, &info, 0) == 0) break;
    // An entry that another process removed after the directory was read
    // (the run-time directory sees this all the time) is skipped; anything
    // else whose status cannot be read, such as a dangling link, still ends
    // the listing of this directory.
    struct stat link;
    if (errno == ENOENT && StatusOf(record->d_name, whole, &link, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
      continue;
    incomplete = 1;
    CloseDirectory();
    return false;
  }
  int isDir = S_ISDIR(info.st_mode) ? 1 : 0;
  SetName(record->d_name, length, isDir);
  // Told from the record, not from the path: a cut path may have lost the
  // "/" that marks "./" and "../".
  dotName = IsText(record->d_name, ".") || IsText(record->d_name, "..");
  nameFits = entry.nameLength == length + isDir;
  return true;
}

bool CFileScanner::Accept() const {
  if (dotName) return false;
  uint32_t kind = flags & (EScanFilesOnly | EScanDirectoriesOnly);
  if (kind == EScanFilesOnly && entry.isDirectory) return false;
  if (kind == EScanDirectoriesOnly && !entry.isDirectory) return false;
  return true;
}

bool CFileScanner::CollectMounts() {
  CPathString mounts;
  LocationPath(mounts, ELocationMnt);
  mounts.Terminate();
  DIR* list = os::Opendir(mounts.CStr());
  if (list == nullptr) return false;
  while (struct dirent* record = os::Readdir(list)) {
    const char* name = record->d_name;
    if (IsText(name, "initrd") || IsText(name, ".") || IsText(name, "..")) continue;
    int length = mounts.Length() + static_cast<int>(strlen(name)) + 1 + path.Length();
    if (length > KMaxPathLength) continue;  // a cut candidate would name another directory
    CPathString candidate;
    candidate.Assign(mounts);
    candidate.AppendChars(name, static_cast<int>(strlen(name)));
    candidate.AppendChar(KPathSeparator);
    candidate.AppendString(path);
    if (DirectoryExists(candidate)) PushPending(candidate.Data(), candidate.Length());
  }
  os::Closedir(list);
  return true;
}

CFileScanner::TEntry* CFileScanner::First() {
  if (flags & EScanAllMounts) {
    if (pending == nullptr || !CollectMounts()) {
      flags &= ~KMountListing;  // nothing to list: Next ends at once
      return nullptr;
    }
    if (flags & KMountListing) {
      PushPending("", 0);  // the end of the list
      pendingLength = 0;   // from here on the read position
      return Next();
    }
    if (!PopAndOpen()) return nullptr;
    return Next();
  }
  if (flags & EScanRecursive) PushPending("", 0);  // the floor
  OpenDirectory();
  return Next();
}

// The mount-list phase: each collected directory, as it was found.
CFileScanner::TEntry* CFileScanner::NextMount() {
  const char* text = pending + pendingLength;
  int length = static_cast<int>(strlen(text));
  if (length > 0) {
    path.Assign(text, length);
    path.Terminate();
    pendingLength = static_cast<int16_t>(pendingLength + length + 1);
    entry.isDirectory = 1;
    entry.nameLength = path.Length();
    return &entry;
  }
  // The read position is now the stack's length: the collected directories
  // are walked last-found first.
  flags &= ~KMountListing;
  if (!(flags & EScanRecursive)) return nullptr;
  PopAndOpen();
  return nullptr;
}

CFileScanner::TEntry* CFileScanner::Next() {
  if (flags & KMountListing) {
    if (TEntry* mount = NextMount()) return mount;
  }
  if (directory == nullptr) return nullptr;
  for (;;) {
    if (!ReadEntry()) {
      CloseDirectory();
      if (!(flags & (EScanRecursive | EScanAllMounts))) return nullptr;
      if (!PopAndOpen()) return nullptr;
      continue;
    }
    if ((flags & EScanRecursive) && entry.isDirectory && nameFits && !dotName)
      PushPending(path.Data() + path.Length() - entry.nameLength, entry.nameLength);
    if (Accept()) return &entry;
  }
}

}  // namespace varnix
