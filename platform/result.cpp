#include "platform/result.h"

#include <cstring>

namespace morvane {

Error errorFromErrno(std::string path, int code)
{
    return Error{std::move(path), code, std::strerror(code)};
}

}  // namespace morvane
