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
/// The text for the latched code, then clears the latch.
std::string IOErrorMessage(std::string_view FileName);
/// Whether Name can be opened for reading and writing, not merely whether it
/// exists: a file this run may not write (read-only, a directory) does not
/// count. Never creates it; leaves nothing latched or pending.
[[nodiscard]] bool FileExists(const std::string& Name);

// ---- File names ----

/// Appends Ext when the name part of Name holds no dot at all.
void DefaultExt(std::string& Name, std::string_view Ext);
/// Source with its extension (from the first dot of the name part) replaced by Ext.
std::string ChangeExt(std::string_view Source, std::string_view Ext);

// ---- System file calls (each sets the pending result on failure) ----

/// How a file was used, which decides the code of an EIO.
enum class Access : std::uint8_t { kRead, kWrite };

/// Opens an existing file for reading; -1 on failure. A directory is refused.
int OpenRead(const std::string& Name);
/// Reads up to Size bytes; 0 at the end of the file, and 0 after a failure.
std::size_t ReadSome(int Fd, const std::string& Name, char* Buf, std::size_t Size);
/// Closes Fd (ignores -1).
void CloseFile(int Fd, const std::string& Name, Access How);
/// Whether standard output is known to take no more (closed, a pipe without a
/// reader, a hung-up terminal), seen without writing to it. Sets nothing
/// pending.
[[nodiscard]] bool ConsoleGone();

// ---- The output file, replaced whole (each call sets the pending result on failure) ----

/// Opens Name to receive its new contents. The kernel resolves Name, links
/// included, with its own rules (a link it refuses to follow is refused here).
/// What it reaches that is not a regular file, or reaches through a process's
/// descriptor link (/dev/stdout), is written directly, as the shell's ">"
/// would. A regular file, new or old, gets the new contents only at
/// CommitReplacing. Name may never be the file Input or the file Config (when
/// not empty), by any name or link: that is a sharing violation, and nothing
/// is opened.
void OpenReplacing(const std::string& Name, const std::string& Input,
                   const std::string& Config = {});
/// Writes all Size bytes to the file being replaced, as one piece.
void WriteReplacing(const char* Bytes, std::size_t Size);

/// Closes the file and, unless an I/O error is pending or latched, puts the
/// new contents where Name led: a new file there takes the place of the old
/// one with its owner, group, permission bits, ACL and extended attributes;
/// where it could not keep them all, or the old file has other links, or its
/// directory takes no new file, the contents are copied into the old file.
/// Whatever the outcome, no temporary file is left. A failure is left for
/// the latch, as by every other call here.
void CommitReplacing();
/// Drops the file being written, leaving whatever Name named as it was; does
/// nothing when no file is open.
void AbandonReplacing();

}  // namespace FileIO

#endif  // LUMARIND_FILEIO_FILEIO_H
