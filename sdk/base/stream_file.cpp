#include "base/stream_file.h"

#include <stdint.h>
#include <string.h>

#include "base/open_file_registry.h"
#include "base/os.h"

namespace varnix {
namespace {

const int32_t KSizeUnknown = -1;
const int32_t KSizeNotCached = -2;

}  // namespace

CStreamFile::CStreamFile()
    : registry(nullptr),
      isOpen(0),
      cachedSize(KSizeNotCached),
      registryIndex(-1),
      handle(nullptr),
      writable(0) {}

CStreamFile::~CStreamFile() { Close(); }

int CStreamFile::OpenStream(CDynString& path, const char* mode) {
  // Opening a file object that is still open would lose its stream.
  if (isOpen || handle != nullptr) Close();
  handle = os::Fopen(path.CStr(), mode);
  return handle != nullptr ? 0 : -1;
}

void CStreamFile::Attach(CDynString& path, COpenFileRegistry* fileRegistry, int isWritable) {
  writable = isWritable;
  cachedSize = isWritable ? KSizeNotCached : KSizeUnknown;
  isOpen = 1;
  registryIndex = -1;
  registry = fileRegistry;
  if (registry != nullptr) registryIndex = registry->Register(this, path, isWritable);
}

int CStreamFile::OpenRead(CDynString& path, COpenFileRegistry* fileRegistry) {
  if (OpenStream(path, "rb") != 0) return -1;
  Attach(path, fileRegistry, 0);
  return 0;
}

int CStreamFile::OpenWrite(CDynString& path, COpenFileRegistry* fileRegistry, int append) {
  if (OpenStream(path, append ? "rb+" : "wb") != 0) return -1;
  if (append && os::Fseek(handle, 0, SEEK_END) != 0) {
    os::Fclose(handle);
    handle = nullptr;
    return -1;
  }
  Attach(path, fileRegistry, 1);
  return 0;
}

int CStreamFile::Close() {
  if (!isOpen) return 0;
  cachedSize = KSizeNotCached;
  isOpen = 0;
  if (registry != nullptr) registry->Unregister(this);
  if (handle == nullptr) return 0;
  int result = 0;
  if (writable) {
    if (os::Fflush(handle) != 0) result = -1;
    if (os::Fsync(os::Fileno(handle)) != 0) result = -1;
  }
  if (os::Fclose(handle) != 0) result = -1;
  handle = nullptr;
  return result;
}

int CStreamFile::Read(void* buffer, int n) {
  if (handle == nullptr || n <= 0) return 0;
  return static_cast<int>(os::Fread(buffer, 1, static_cast<size_t>(n), handle));
}

int CStreamFile::ReadLine(char* buffer, int size) {
  if (handle == nullptr || size <= 0) return -1;
  if (os::Fgets(buffer, size, handle) == nullptr) return -1;
  return static_cast<int>(strlen(buffer));
}

int CStreamFile::Write(const void* data, int n) {
  if (n <= 0) return 0;
  if (handle == nullptr) return KErrShortWrite;
  size_t written = os::Fwrite(data, 1, static_cast<size_t>(n), handle);
  return written == static_cast<size_t>(n) ? 0 : KErrShortWrite;
}

int CStreamFile::WriteLine(const char* text) {
  int result = Write(text, static_cast<int>(strlen(text)));
  if (result != 0) return result;
  return Write("\n", 1);
}

int CStreamFile::Seek(int32_t position) {
  if (handle == nullptr) return -1;
  return os::Fseek(handle, position, SEEK_SET) == 0 ? 0 : -1;
}

int32_t CStreamFile::Tell() {
  if (handle == nullptr) return KErrNoPosition;
  long position = os::Ftell(handle);
  // A position beyond 32 bits cannot be told either.
  if (position < 0 || static_cast<int64_t>(position) > INT32_MAX) return KErrNoPosition;
  return static_cast<int32_t>(position);
}

int32_t CStreamFile::Size() {
  if (cachedSize >= 0) return cachedSize;
  int32_t position = Tell();
  if (position < 0) return KErrNoPosition;
  if (os::Fseek(handle, 0, SEEK_END) != 0) return KErrNoPosition;
  int32_t size = Tell();
  if (os::Fseek(handle, position, SEEK_SET) != 0) return KErrNoPosition;
  if (size >= 0 && cachedSize == KSizeUnknown) cachedSize = size;
  return size;
}

CDynString* CStreamFile::RegisteredPath() {
  if (registry == nullptr) return nullptr;
  COpenFileRegistry::TEntry* entry = nullptr;
  if (!registry->EntryAt(registryIndex, this, entry)) entry = registry->EntryOf(this);
  return entry != nullptr ? &entry->path : nullptr;
}

}  // namespace varnix
