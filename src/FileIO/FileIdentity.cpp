#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

// Writing a file drops its file capabilities, so a file rewritten in place
// would not keep them either; a replacing one does not take them.
constexpr std::string_view kNotCarried = "security.capability";

// The names of Fd's extended attributes, each ended by NUL; false when they
// cannot be read. A file system without them has none.
bool ListAttributes(int Fd, std::string& Names) {
    Names.clear();
    for (int Try = 0; Try < 3; ++Try) {
        ssize_t Size = ::flistxattr(Fd, nullptr, 0);
        if (Size < 0) {
            return errno == ENOTSUP || errno == ENOSYS;
        }
        Names.resize(static_cast<std::size_t>(Size));
        Size = ::flistxattr(Fd, Names.data(), Names.size());
        if (Size >= 0) {
            Names.resize(static_cast<std::size_t>(Size));
            return true;
        }
        if (errno != ERANGE) {  // ERANGE: the list grew between the calls
            return false;
        }
    }
    return false;
}

// Fd's value of the attribute Name; false when it has none or it cannot be read.
bool GetAttribute(int Fd, const char* Name, std::string& Value) {
    for (int Try = 0; Try < 3; ++Try) {
        ssize_t Size = ::fgetxattr(Fd, Name, nullptr, 0);
        if (Size < 0) {
            return false;
        }
        Value.resize(static_cast<std::size_t>(Size));
        Size = ::fgetxattr(Fd, Name, Value.data(), Value.size());
        if (Size >= 0) {
            Value.resize(static_cast<std::size_t>(Size));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
}

// Whether the NUL-ended names of List hold Name.
bool Listed(const std::string& List, std::string_view Name) {
    for (const char* p = List.c_str(); p < List.c_str() + List.size(); p += std::strlen(p) + 1) {
        if (Name == p) {
            return true;
        }
    }
    return false;
}

// Gives To exactly From's extended attributes; false where one could not be
// read, set or removed. Names To was born with (an ACL inherited from the
// directory, a security label) go unless From has them too.
bool CopyAttributes(int From, int To) {
    std::string Want;
    std::string Have;
    if (!ListAttributes(From, Want) || !ListAttributes(To, Have)) {
        return false;
    }
    std::string Value;
    std::string Current;
    for (const char* Name = Want.c_str(); Name < Want.c_str() + Want.size();
         Name += std::strlen(Name) + 1) {
        if (Name == kNotCarried) {
            continue;
        }
        if (!GetAttribute(From, Name, Value)) {
            return false;
        }
        if (GetAttribute(To, Name, Current) && Current == Value) {
            continue;
        }
        if (::fsetxattr(To, Name, Value.data(), Value.size(), 0) != 0) {
            return false;
        }
    }
    for (const char* Name = Have.c_str(); Name < Have.c_str() + Have.size();
         Name += std::strlen(Name) + 1) {
        if ((Name == kNotCarried || !Listed(Want, Name)) && ::fremovexattr(To, Name) != 0 &&
            errno != ENODATA) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool CopyIdentity(int From, int To) {
    struct stat Old;
    struct stat New;
    if (::fstat(From, &Old) != 0 || ::fstat(To, &New) != 0) {
        return false;
    }
    // Another link would go on naming the old contents.
    if (Old.st_nlink > 1) {
        return false;
    }
    // The owner first: a change of owner clears setuid and setgid, which are
    // set only once the owner is kept, and never on a file of another owner.
    if ((New.st_uid != Old.st_uid || New.st_gid != Old.st_gid) &&
        ::fchown(To, Old.st_uid, Old.st_gid) != 0) {
        return false;
    }
    // The ACL sets the group bits from its mask, which the mode then repeats.
    if (!CopyAttributes(From, To) || ::fstat(To, &New) != 0) {
        return false;
    }
    mode_t Mode = Old.st_mode & 07777;
    if ((New.st_mode & 07777) != Mode && ::fchmod(To, Mode) != 0) {
        return false;
    }
    // Taken only when it shows: a setgid bit for a group the process is not
    // in, or a mode the file system cannot hold, is dropped without a word.
    return ::fstat(To, &New) == 0 && New.st_uid == Old.st_uid && New.st_gid == Old.st_gid &&
           (New.st_mode & 07777) == Mode;
}

}  // namespace FileIO
