// Calls shared by the files of the FileIO module: how a failed system call
// becomes the pending result, and what a replaced file keeps. Only
// src/FileIO/ and the tests include this.
#ifndef LUMARIND_FILEIO_FILEIOINTERNAL_H
#define LUMARIND_FILEIO_FILEIOINTERNAL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FileIO/FileIO.h"

namespace FileIO {

/// The console text for an error code; only kFileNotFound names the file.
std::string IOErrorText(std::uint16_t Code, std::string_view FileName);

struct PathParts {
    std::string Dir;   ///< up to and including the last "/", "\" or ":"
    std::string File;  ///< the rest
};
/// Splits Name at its last directory separator ("/", "\" or ":"), as
/// DefaultExt and ChangeExt see it.
PathParts SplitPath(std::string_view Name);

/// Records the result of a file operation as the pending result (0: success
/// leaves any pending code alone, as a successful call clears nothing).
void SetIOResult(std::uint16_t Code);

/// The codes of the latch, as CodeForErrno makes them and IOErrorText shows
/// them.
constexpr std::uint16_t kFileNotFound = 2;
constexpr std::uint16_t kPathNotFound = 3;
constexpr std::uint16_t kTooManyOpenFiles = 4;
constexpr std::uint16_t kAccessDenied = 5;
/// A file that may not be opened as asked; shown by its number.
constexpr std::uint16_t kSharingViolation = 32;
/// No room left on the disk or under a limit; shown by its number.
constexpr std::uint16_t kDiskFull = 112;
constexpr std::uint16_t kDeviceWriteFault = 160;
constexpr std::uint16_t kDeviceReadFault = 161;
/// Codes for errno values without a code of their own: kErrnoBase + errno.
constexpr std::uint16_t kErrnoBase = 1000;

/// The error code shown for a failed system call on Name: the errno mapping.
std::uint16_t CodeForErrno(int Errno, Access How, const std::string& Name);

/// What a commit did to the file Name named.
enum class Outcome : std::uint8_t {
    kReplaced,       ///< the complete new file took its place, keeping its identity
    kRewritten,      ///< the new contents were copied into the file itself, which
                     ///< keeps what a new file could not (links, owner, attributes)
    kWritten,        ///< a device, pipe or descriptor link was written directly
    kUntouched,      ///< nothing changed: the commit failed, or an error was pending
    kPartlyWritten,  ///< the copy into the file, or a direct write, failed midway
};
/// CommitReplacing, saying which way it went (the tests look).
Outcome Commit();

/// Writes all Size bytes; false after a failure.
bool WriteAll(int Fd, const std::string& Name, const char* Buf, std::size_t Size);

/// Gives the open file To the owner, group, extended attributes (its ACL
/// among them) and permission bits of the open file From; true only when To
/// then carries every one of them and From has no other link, so that To can
/// take From's place whole. Sets nothing pending.
bool CopyIdentity(int From, int To);

}  // namespace FileIO

#endif  // LUMARIND_FILEIO_FILEIOINTERNAL_H
