#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"

namespace morvane {

// Reads a text file line by line. Lines end at CR LF, LF or a lone CR; a last line without an ending still
// counts; an empty file has no lines. Bytes pass through unchanged.
class LineReader {
public:
    virtual ~LineReader() = default;
    // The next line into `line`. False at the end of the file or after a read error (see status()).
    virtual bool readLine(std::string& line) = 0;
    // Ok, or the read error that ended the reading.
    virtual Status status() const = 0;
};

// Writes a text file line by line, each line followed by CR LF, through a buffer. Errors are kept: the
// first one is returned by finish(), and nothing is written after it.
class LineWriter {
public:
    virtual ~LineWriter() = default;  // closes without flushing to disk when finish() was not called
    virtual void writeLine(std::string_view line) = 0;
    // One line made of two parts, such as a directory and a file name in it.
    virtual void writeLine(std::string_view first, std::string_view second)
    {
        std::string line;
        line.reserve(first.size() + second.size());
        line.append(first).append(second);
        writeLine(line);
    }
    // Flushes the buffer, syncs the file to disk (fsync) and closes it. Ok only when every line was written.
    virtual Status finish() = 0;
};

}  // namespace morvane
