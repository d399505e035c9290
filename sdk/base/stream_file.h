#ifndef VARNIX_BASE_STREAM_FILE_H
#define VARNIX_BASE_STREAM_FILE_H

#include <stdint.h>
#include <stdio.h>

#include "base/dyn_string.h"
#include "base/heap_object.h"

namespace varnix {

class COpenFileRegistry;

/// Result codes of the file operations.
///@{
const int KErrShortWrite = -23;    ///< Write wrote fewer bytes than asked
const int KErrNoPosition = -9000;  ///< the position or size could not be obtained
///@}

/// The runtime's file object: a buffered stream with fixed open modes and
/// integer results. A file opened for reading measures its size once and
/// keeps it; a file that was written is flushed and synced to the medium
/// when it is closed, so its bytes are durable once Close returns.
///
/// A file opened with a registry takes part in the registry's card remount
/// handling (open_file_registry.h).
class CStreamFile : public CHeapObject {
 public:
  CStreamFile();
  ~CStreamFile() override;
  CStreamFile(const CStreamFile&) = delete;
  CStreamFile& operator=(const CStreamFile&) = delete;

  /// Mode "rb". 0, or -1 when the file cannot be opened. The path is
  /// terminated in place.
  int OpenRead(CDynString& path, COpenFileRegistry* registry);

  /// append 0: mode "wb" (creates or empties the file). append 1: mode
  /// "rb+" (the file must exist), positioned at its end. 0 or -1.
  int OpenWrite(CDynString& path, COpenFileRegistry* registry, int append);

  /// Detaches the file from its registry and closes the stream; a written
  /// file is flushed and synced first. Does nothing on a closed file.
  /// 0, or -1 when flushing, syncing or closing failed (the file is closed
  /// either way).
  int Close();

  /// Bytes read (0..n); 0 at the end of the file or on an error.
  int Read(void* buffer, int n);

  /// Reads through the next line feed (kept) or up to size - 1 characters,
  /// and terminates the buffer. The length of the text read, or -1 at the
  /// end of the file or on an error.
  int ReadLine(char* buffer, int size);

  /// 0 when all n bytes were written, else KErrShortWrite.
  int Write(const void* data, int n);

  /// Writes the text without its terminator, then a line feed; 0, or the
  /// first failing Write's result.
  int WriteLine(const char* text);

  /// Absolute position from the start of the file; 0 or -1.
  int Seek(int32_t position);

  /// The current position, or KErrNoPosition.
  int32_t Tell();

  /// The size in bytes, or KErrNoPosition. Measured once for a file opened
  /// for reading, on every call for a file opened for writing; the position
  /// is unchanged afterwards.
  int32_t Size();

  /// The path kept in the file's registry entry; null without an entry.
  CDynString* RegisteredPath();

  /// State, for the registry and for tests.
  ///@{
  COpenFileRegistry* Registry() const { return registry; }
  int IsOpen() const { return isOpen; }
  int32_t CachedSize() const { return cachedSize; }
  int32_t RegistryIndex() const { return registryIndex; }
  FILE* Handle() const { return handle; }
  int IsWritable() const { return writable; }
  ///@}

 private:
  friend class COpenFileRegistry;

  int OpenStream(CDynString& path, const char* mode);
  void Attach(CDynString& path, COpenFileRegistry* fileRegistry, int isWritable);

  COpenFileRegistry* registry;  ///< where the last open attached the file, or null
  int isOpen;
  int32_t cachedSize;     ///< -1 size not yet known, -2 not cached, else bytes
  int32_t registryIndex;  ///< what Register returned; may go stale
  FILE* handle;
  int writable;
};

}  // namespace varnix

#endif
