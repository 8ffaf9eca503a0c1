#pragma once
// The data-file locator: finds a file by its last name component in a folder tree, and the fallback
// folder whose data files are copied into the current folder on first use.

#include <cstdio>
#include <string>

/// The part of name after its last '/' or '\' (the whole name when it has neither).
std::string dgFileBaseName(const char* name);

/// Opens path with mode like fopen, but never opens a folder; null on failure.
std::FILE* dgOpenDataFile(const std::string& path, const char* mode);

/// Looks for the base name of name in folder, then in its sub-folders depth first, the sub-folders of
/// each folder in sorted order. Sub-folders whose names begin with "." and links to folders are not
/// searched. On success path holds the readable file found.
bool dgFindFileInTree(const char* name, const char* folder, std::string& path);

/// Copies source to target unless target exists in any form (file, folder, even a dangling link): an
/// existing file is never overwritten. A copy that fails halfway is removed. The copy keeps the
/// source's last-write time.
bool dgCopyFileNoOverwrite(const std::string& source, const std::string& target);

/// The folder searched when the current folder tree lacks a file: "C:\3dlibdata" unless the build
/// configures another (ORVALEN_DATA_FALLBACK_FOLDER).
const std::string& dgGetDataFallbackFolder();
/// Engine-internal: replaces the fallback folder, as tests do with a temporary folder; null restores
/// the built-in one.
void dgSetDataFallbackFolder(const char* folder);
