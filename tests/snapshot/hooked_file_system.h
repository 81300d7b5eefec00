#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/doubles.h"

namespace morvane::test {

// The real file system with hooks in the calls a snapshot makes, to watch the command in mid-run and to make
// one call fail.
class HookedFileSystem : public FileSystem {
public:
    using FileSystem::FileSystem;

    // Replaces the world's file system with a hooked one over the same drives.
    static HookedFileSystem& install(World& world)
    {
        auto fs = std::make_unique<HookedFileSystem>(world.fs->drives());
        HookedFileSystem& ref = *fs;
        world.fs = std::move(fs);
        return ref;
    }

    Result<DirectoryContents> readDirectory(std::string_view directory) const override
    {
        ++reads;
        if (onRead) {
            onRead(directory);
        }
        if (failRead) {
            if (std::optional<Error> error = failRead(directory)) {
                return *error;
            }
        }
        if (fakeRead) {
            return fakeRead(directory);
        }
        return FileSystem::readDirectory(directory);
    }

    Result<Listing> list(std::string_view pattern, unsigned attributes) const override
    {
        if (failList) {
            if (std::optional<Error> error = failList(pattern)) {
                return *error;
            }
        }
        return FileSystem::list(pattern, attributes);
    }

    Result<std::unique_ptr<LineWriter>> createForWriting(std::string_view path, CreateMode mode) override
    {
        auto writer = FileSystem::createForWriting(path, mode);
        if (!writer || !wrapWriter) {
            return writer;
        }
        return wrapWriter(std::move(*writer));
    }

    Status removeFile(std::string_view path, Lookup lookup) override
    {
        if (failRemove) {
            if (std::optional<Error> error = failRemove(path)) {
                return *error;
            }
        }
        return FileSystem::removeFile(path, lookup);
    }

    Status writeLinesAtomic(std::string_view path, const std::vector<std::string>& lines) override
    {
        atomicWrites.emplace_back(path);
        if (failWriteAtomic) {
            if (std::optional<Error> error = failWriteAtomic(path)) {
                return *error;
            }
        }
        return FileSystem::writeLinesAtomic(path, lines);
    }

    std::function<void(std::string_view)> onRead;
    std::function<std::optional<Error>(std::string_view)> failRemove;
    std::function<std::optional<Error>(std::string_view)> failRead;
    std::function<DirectoryContents(std::string_view)> fakeRead;  // a tree that exists only in memory
    std::function<std::optional<Error>(std::string_view)> failList;
    std::function<std::unique_ptr<LineWriter>(std::unique_ptr<LineWriter>)> wrapWriter;
    std::function<std::optional<Error>(std::string_view)> failWriteAtomic;
    std::vector<std::string> atomicWrites;  // every path handed to writeLinesAtomic, in order
    mutable int reads = 0;
};

}  // namespace morvane::test
