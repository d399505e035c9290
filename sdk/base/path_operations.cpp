#include "base/path_operations.h"

#include <fcntl.h>
#include <stdint.h>

#include "base/os.h"

namespace varnix {
namespace {

const int KCopyBufferSize = 65536;
const mode_t KNewDirectoryMode = 0755;
const mode_t KPermissionBits = 0777;

// The terminated text of path without writing into it: its own characters
// when a terminator already follows them, else a terminated copy in
// scratch. Null when the path does not fit the copy.
const char* TerminatedText(const CDynString& path, CPathString& scratch) {
  int n = path.Length();
  if (n < path.Capacity() && path.Data()[n] == 0) return path.Data();
  if (n >= scratch.Capacity()) return nullptr;
  scratch.Assign(path);
  return scratch.Terminate();
}

int StatusOf(const char* text, struct stat& info) { return text != nullptr ? os::Stat(text, &info) : -1; }

int IsReadable(const char* text) { return os::Access(text, R_OK) == 0 ? 1 : 0; }

}  // namespace

int MakeDir(CDynString& path) { return os::Mkdir(path.CStr(), KNewDirectoryMode) == 0 ? 0 : -1; }

int DirectoryExists(CDynString& path) {
  const char* text = path.CStr();
  struct stat info;
  if (os::Stat(text, &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
  return IsReadable(text);
}

int RemoveDir(CDynString& path) { return os::Rmdir(path.CStr()) == 0 ? 0 : -1; }

int32_t GetFreeSpaceKb(CDynString& path) {
  struct statfs info;
  if (os::Statfs(path.CStr(), &info) != 0) return 0;
  uint64_t kb = static_cast<uint64_t>(info.f_bfree) * static_cast<uint64_t>(info.f_bsize) / 1024u;
  return kb > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(kb);
}

int FileExists(const CDynString& path) {
  CPathString scratch;
  const char* text = TerminatedText(path, scratch);
  struct stat info;
  if (StatusOf(text, info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return IsReadable(text);
}

int DeleteFile(const CDynString& path) {
  CPathString scratch;
  const char* text = TerminatedText(path, scratch);
  if (text == nullptr) return -1;
  return os::Unlink(text) == 0 ? 0 : -1;
}

int RenameFile(const CDynString& from, const CDynString& to) {
  CPathString fromScratch;
  CPathString toScratch;
  const char* fromText = TerminatedText(from, fromScratch);
  const char* toText = TerminatedText(to, toScratch);
  if (fromText == nullptr || toText == nullptr) return -1;
  return os::Rename(fromText, toText) == 0 ? 0 : -1;
}

namespace {

// The read-write loop of CopyFile: 0 at the end of the source, -1 on an
// error or a short write.
int CopyBytes(int source, int target, char* buffer) {
  for (;;) {
    ssize_t got = os::Read(source, buffer, KCopyBufferSize);
    if (got == 0) return 0;
    if (got < 0) return -1;
    if (os::Write(target, buffer, static_cast<size_t>(got)) != got) return -1;
  }
}

// Whether target names the file already open as source: opening it for
// writing would empty the source.
bool IsSameFile(const struct stat& sourceInfo, const char* targetText) {
  struct stat targetInfo;
  if (os::Stat(targetText, &targetInfo) != 0) return false;
  return targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino;
}

}  // namespace

int CopyFile(const CDynString& source, const CDynString& target) {
  CPathString sourceScratch;
  CPathString targetScratch;
  const char* sourceText = TerminatedText(source, sourceScratch);
  const char* targetText = TerminatedText(target, targetScratch);

  char* buffer = static_cast<char*>(os::Malloc(KCopyBufferSize));
  if (buffer == nullptr) return -2;
  int result = -1;
  int in = sourceText != nullptr ? os::Open(sourceText, O_RDONLY, 0) : -1;
  if (in >= 0) {
    struct stat info;
    if (os::Fstat(in, &info) == 0 && targetText != nullptr && !IsSameFile(info, targetText)) {
      mode_t mode = info.st_mode & KPermissionBits;
      int out = os::Open(targetText, O_WRONLY | O_CREAT | O_TRUNC, mode);
      if (out >= 0) {
        // The creation mode is cut by the umask and an existing target keeps
        // its own; set the source's bits outright. A file system without
        // permission bits (a FAT card) refuses, which does not spoil the copy.
        os::Fchmod(out, mode);
        result = CopyBytes(in, out, buffer);
        if (os::Close(out) != 0) result = -1;
      }
    }
    os::Close(in);
  }
  os::Free(buffer);
  return result;
}

int IsAbsolutePath(const CDynString& path) {
  return path.Length() > 0 && path.CharAt(0) == KPathSeparator ? 1 : 0;
}

}  // namespace varnix
