#ifndef VARNIX_BASE_PATH_OPERATIONS_H
#define VARNIX_BASE_PATH_OPERATIONS_H

#include <stdint.h>

#include "base/dyn_string.h"

namespace varnix {

/// @file
/// Whole files and directories. Every failure is told by the result alone:
/// nothing is printed and errno is not passed on.

const char KPathSeparator = '/';

// These four terminate the path in place first.

/// Creates one directory, mode 0755 less the umask; parents are not created
/// and an existing directory is a failure. 0 or -1.
int MakeDir(CDynString& path);

/// 1 when path is a directory the process may read, else 0.
int DirectoryExists(CDynString& path);

/// Removes an empty directory. 0 or -1.
int RemoveDir(CDynString& path);

/// Free KiB of the file system that holds path, reserved blocks included;
/// 0 on failure. More than fits in 32 bits gives INT32_MAX.
int32_t GetFreeSpaceKb(CDynString& path);

// These four use the path's characters as they stand; a path that is not
// terminated in place is terminated in a copy, never read past its end.

/// 1 when path is a regular file the process may read, else 0.
int FileExists(const CDynString& path);

/// 0 or -1.
int DeleteFile(const CDynString& path);

/// Renames or moves a file or directory within one file system; an existing
/// target file is replaced. 0 or -1.
int RenameFile(const CDynString& from, const CDynString& to);

/// Copies the source's bytes to target (created or emptied) with 64 KiB
/// reads and writes; the target gets the source's permission bits. 0; -1 on
/// a file error (a partial target stays); -2 when the buffer cannot be
/// allocated. Copying a file onto itself is refused with -1 and changes
/// nothing.
int CopyFile(const CDynString& source, const CDynString& target);

/// 1 when path is not empty and begins with the separator.
int IsAbsolutePath(const CDynString& path);

}  // namespace varnix

#endif
