#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/text_file.h"

namespace morvane {

// Size of the buffers through which text files are read and written.
inline constexpr std::size_t kTextBufferSize = 64 * 1024;

// A reader over an open descriptor, which it owns and closes. `path` names the file in errors.
std::unique_ptr<LineReader> makeFdLineReader(int fd, std::string path);

// A writer over an open descriptor, which it owns. finish() flushes, fsyncs and closes it, then fsyncs
// `folderFd` (the folder holding the file, owned as well; -1 for none) so that a new file's name is durable too.
std::unique_ptr<LineWriter> makeFdLineWriter(int fd, std::string path, int folderFd = -1);

// Writes all of `size` bytes, retrying after interruptions and short writes. 0 or an errno value.
int writeAll(int fd, const char* data, std::size_t size);

}  // namespace morvane
