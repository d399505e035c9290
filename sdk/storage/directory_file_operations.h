#ifndef VARNIX_STORAGE_DIRECTORY_FILE_OPERATIONS_H
#define VARNIX_STORAGE_DIRECTORY_FILE_OPERATIONS_H

#include "base/dyn_string.h"

namespace varnix {

/// @file
/// Operations on the files directly inside one directory (ending in "/").
/// Subdirectories and their contents are never touched; files are taken in
/// the order the directory gives them. A directory that cannot be opened
/// behaves like an empty one. Suffixes compare without regard to case.

/// 1 when some file of directory ends with suffix, else 0.
int DirectoryHasFileWithSuffix(const CDynString& suffix, const CDynString& directory);

/// 1 and name = the first such file's name (without the directory), else 0
/// with name left as it was.
int FindFileWithSuffix(CDynString& name, const CDynString& directory, const CDynString& suffix);

/// Deletes every file of directory; 0.
int DeleteDirectoryFiles(const CDynString& directory);

/// Moves every file of source into target, replacing files of the same name
/// there. 0; -1 at the first file that could not be moved (those before it
/// stay moved, the rest stay in source), and -1 when the listing of source
/// ended early (a read error, a dangling link), so that files may be left.
int MoveDirectoryFiles(const CDynString& source, const CDynString& target);

/// Copies every file of source into target, overwriting files of the same
/// name. 0; -1 when target is not a readable directory (nothing is copied),
/// at the first failed copy, or when the listing of source ended early; -2
/// when a copy could not get its buffer.
int CopyDirectoryFiles(const CDynString& source, const CDynString& target);

/// Creates the well-known directories that must exist, one level each (a
/// missing parent is not created): contacts on models 2, 3, 144 and 400,
/// then itn, logging and the flash root. Returns 1 when the flash root was
/// already there, else MakeDir's result for it (0, or -1).
int EnsureDirectories();

}  // namespace varnix

#endif
