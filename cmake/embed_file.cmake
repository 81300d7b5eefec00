# Writes OUTPUT, a C++ source defining `std::string_view NAME()` that returns the bytes of INPUT.
# Run with: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 24 row)
string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.
#include <string_view>

namespace morvane {
namespace {
const unsigned char kBytes[] = {
${bytes}
0};
}  // namespace

std::string_view ${NAME}()
{
    return {reinterpret_cast<const char*>(kBytes), ${size}};
}

}  // namespace morvane
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
