#include "platform/result.h"

#include <cerrno>
#include <cstring>

namespace morvane {

ErrorKind KindOfErrno(int code)
{
    switch (code) {
    case ENOENT: return ErrorKind::NotFound;
    case ENOTDIR: return ErrorKind::NotDirectory;
    case ELOOP: return ErrorKind::ThroughLink;
    case EXDEV: return ErrorKind::OtherFileSystem;
    case EACCES:
    case EPERM: return ErrorKind::AccessDenied;
    case EIO: return ErrorKind::InputOutput;
    case EINVAL:
    case ENAMETOOLONG: return ErrorKind::Invalid;
    default: return ErrorKind::Other;
    }
}

Error errorFromErrno(std::string path, int code)
{
    return Error{std::move(path), code, std::strerror(code), KindOfErrno(code)};
}

Error errorWithReason(std::string path, int code, std::string reason)
{
    return Error{std::move(path), code, std::move(reason), KindOfErrno(code)};
}

bool IsAbsent(const Error& error)
{
    return error.kind == ErrorKind::NotFound || error.kind == ErrorKind::NotDirectory ||
           error.kind == ErrorKind::ThroughLink;
}

}  // namespace morvane
