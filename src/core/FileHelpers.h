#pragma once

#include <cstdio>
#include <string>

// Small file operations. Wide paths are converted to UTF-8; narrow paths are
// UTF-8 byte strings opened as they are.

// fopen of a wide path.
FILE* OpenFileWide(const std::u16string& path, const char* mode);
// fopen ("rb", "wb", "ab", with or without "+") of a file that holds values
// of a database: a file it creates is its owner's alone (0600), whatever the
// umask. An existing file keeps its mode.
FILE* OpenPrivateFile(const std::string& path, const char* mode);
// The mode a file holding a database's values is created with.
inline constexpr unsigned PrivateFileMode = 0600;

bool FileExists(const std::u16string& path);
bool DirectoryExists(const std::u16string& path);
bool RemoveFile(const std::u16string& path);
// Gives the owner write permission when it lacks it: 0 on success, -1 on failure.
int MakeFileWritable(const std::u16string& path);
// Appends the bytes of text, creating the file; false when it cannot be written.
bool AppendTextToFile(const std::u16string& path, const std::string& text);
// AppendTextToFile with CR LF after the text.
bool AppendLineToFile(const std::u16string& path, const std::string& text);
// All bytes of the file cut at the first zero byte; empty when unreadable.
std::string ReadWholeFile(const std::u16string& path);
// Copies source to destination chunkSize bytes at a time, replacing it;
// a copy that cannot be completed is removed.
bool CopyFileInChunks(const std::u16string& source, const std::u16string& destination, int chunkSize);
// Creates one folder; false when it cannot be made (also when it exists).
bool CreateFolder(const std::u16string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);
int MakeFileWritable(const std::string& path);
bool AppendTextToFile(const std::string& path, const std::string& text);
bool AppendLineToFile(const std::string& path, const std::string& text);
std::string ReadWholeFile(const std::string& path);
bool CopyFileInChunks(const std::string& source, const std::string& destination, int chunkSize);
// The file's size in bytes; -1 when it does not exist.
long long FileSize(const std::string& path);
// The bytes free to this user on the file system of path (an existing file
// or folder, or the nearest existing folder above it); -1 when unknown, and
// when that place cannot be written: then room is not what stops a writer.
long long FreeSpace(const std::string& path);
// An identifier of the file system that holds path (as FreeSpace finds
// it); -1 when unknown.
long long FileSystemOf(const std::string& path);
// Removes the copy CopyFileInChunks is writing at this moment, if any: for
// an interrupt that ends the program before the copy could finish.
void RemoveCopyInProgress();
bool CreateFolder(const std::string& path);

// The file's bytes up to its first zero byte, but only its last maxBytes
// (from the start of a line) when it is longer; size receives its whole
// length. Empty when it cannot be read.
std::string ReadFileTail(const std::u16string& path, long long maxBytes, long long& size);
