#pragma once
#include <cstdio>
#include <memory>
#include <string>

namespace tessory {

struct FileCloser {
    void operator()(std::FILE* f) const { if (f) std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file named by a UTF-8 path (fopen modes); empty on failure.
UniqueFile OpenFile(const std::string& path, const char* mode);
// True when the path names an existing file, hidden ones included.
bool FileExists(const std::string& path);
// Deletes the file; true when it is gone afterwards.
bool DeleteFileAt(const std::string& path);
// Renames from over to, replacing to; false leaves both as they were.
bool ReplaceFileWith(const std::string& from, const std::string& to);
// Text in the 8-bit code page that written files use (the ANSI code page on Windows;
// unchanged UTF-8 elsewhere). Characters the code page cannot hold become "?".
std::string ToFileText(const std::string& utf8);
// The same when the code page holds every character exactly (no "?", no best-fit look-alike such
// as "L" for "Ł"); false when some character would be lost, and out is then unspecified.
bool ToFileTextExactly(const std::string& utf8, std::string& out);
// Text in that code page back to UTF-8.
std::string FileTextToUtf8(const std::string& text);

// The system's code for the last failed file operation of this thread (GetLastError on
// Windows, errno elsewhere), and the system's text for such a code.
int LastFileError();
std::string FileErrorText(int error);

}  // namespace tessory
