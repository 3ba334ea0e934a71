// Small whole-file reads and crash-safe replacement of small files, for the
// settings files. Paths are UTF-8, of any length.
#pragma once

#include <cstddef>

// Reads up to capacity bytes from the start of a regular file. A missing file
// is created empty, as opening for reading and appending does; a file that can
// only be read is still read. Returns the number of bytes read, or -1 when the
// path cannot be opened or read or is not a regular file.
long readFileStart(const char* path, char* buffer, size_t capacity);
// The same for a file that may not exist: a missing file stays missing and
// gives -1.
long readExistingFile(const char* path, char* buffer, size_t capacity);

// Replaces the file's contents: writes them to a new file in the same folder,
// flushes that to disk and renames it over the old one, so that an interrupted
// write leaves either the old contents or the new. Returns 1, or 0 when the
// file could not be replaced (the old one is then untouched and nothing is
// left behind).
int replaceFile(const char* path, const char* data, size_t size);
