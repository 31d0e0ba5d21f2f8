// File services: the latch of the first I/O error and its texts, the existence
// test, the file-name helpers, the few system file calls the other modules
// make, and the safe replacement of the output file. Each call leaves its
// result for the latch.
#ifndef LUMARIND_FILEIO_FILEIO_H
#define LUMARIND_FILEIO_FILEIO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace FileIO {

// ---- The I/O error latch ----

/// Takes the pending result into the latch unless it already holds a code (the
/// first error wins), discards it otherwise; true when a code is latched.
[[nodiscard]] bool IOError();
/// Nothing latched and nothing pending afterwards.
void ClearIOError();
/// The console text for an error code; only code 2 names the file. Called by
/// IOErrorMessage, and by the tests for every row.
std::string IOErrorText(std::uint16_t Code, std::string_view FileName);
/// The text for the latched code, then clears the latch.
std::string IOErrorMessage(std::string_view FileName);
/// Whether Name can be opened for reading and writing; never creates it and
/// leaves nothing latched or pending.
[[nodiscard]] bool FileExists(const std::string& Name);

// ---- File names ----

struct PathParts {
    std::string Dir;   ///< up to and including the last "/", "\" or ":"
    std::string File;  ///< the rest
};
/// Splits Name at its last directory separator ("/", "\" or ":"); what the
/// two calls below build on, public for the tests.
PathParts SplitPath(std::string_view Name);
/// Appends Ext when the name part of Name holds no dot at all.
void DefaultExt(std::string& Name, std::string_view Ext);
/// Source with its extension (from the first dot of the name part) replaced by Ext.
std::string ChangeExt(std::string_view Source, std::string_view Ext);

// ---- System file calls (each sets the pending result on failure) ----

/// How a file was used, which decides the code of an EIO.
enum class Access { Read, Write };

/// Opens an existing file for reading; -1 on failure. A directory is refused.
int OpenRead(const std::string& Name);
/// Reads up to Size bytes; 0 at the end of the file, and 0 after a failure.
std::size_t ReadSome(int Fd, const std::string& Name, char* Buf, std::size_t Size);
/// Closes Fd (ignores -1).
void CloseFile(int Fd, const std::string& Name, Access How);

// ---- The output file, replaced whole (each call sets the pending result on failure) ----

/// Opens Name to receive its new contents, following symbolic links. A device
/// or a pipe is written directly; a regular file, new or old, appears only at
/// CommitReplacing, an old one keeping its permission bits, a new one getting
/// 0666 less the umask. Name may never be the file Input, by any name or link
/// (a sharing violation): writing it would destroy what is being read.
void OpenReplacing(const std::string& Name, const std::string& Input);
/// Writes all Size bytes to the file being replaced, as one piece.
void WriteReplacing(const char* Bytes, std::size_t Size);
/// Closes the file and, unless an I/O error is pending or latched, puts it in
/// place of what Name named.
void CommitReplacing();
/// Drops the file being written, leaving whatever Name named as it was; does
/// nothing when no file is open.
void AbandonReplacing();

}  // namespace FileIO

#endif  // LUMARIND_FILEIO_FILEIO_H
