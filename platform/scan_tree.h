#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace morvane {

// Names in large blocks that never move, so that what was stored stays where it is while more is added: a
// million names cost their own bytes and no object each.
class NameStore {
public:
    // Room for `size` contiguous bytes, to be filled and then committed.
    char* reserve(std::size_t size)
    {
        if (m_free < size) {
            const std::size_t blockSize = std::max(kBlockSize, size);
            m_blocks.push_back(std::make_unique<char[]>(blockSize));
            m_next = m_blocks.back().get();
            m_free = blockSize;
        }
        return m_next;
    }
    void commit(std::size_t size)
    {
        m_next += size;
        m_free -= size;
    }
    // A copy of `name` followed by a NUL.
    const char* add(std::string_view name)
    {
        char* at = reserve(name.size() + 1);
        std::memcpy(at, name.data(), name.size());
        at[name.size()] = '\0';
        commit(name.size() + 1);
        return at;
    }
    // Takes over the blocks of `other`, whose names stay where they are.
    void absorb(NameStore&& other)
    {
        for (auto& block : other.m_blocks) {
            m_blocks.push_back(std::move(block));
        }
        other.m_blocks.clear();
        other.m_next = nullptr;
        other.m_free = 0;
    }
    void clear()
    {
        std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
        m_next = nullptr;
        m_free = 0;
    }

private:
    static constexpr std::size_t kBlockSize = 1 << 20;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_free = 0;
};

// One directory of a tree read by FileSystem::readTree.
struct ScanNode {
    enum class State : std::uint8_t { Read, Vanished, Failed };

    const char* name = "";         // as spelled on disk, NUL-terminated; empty for the directory read first
    ScanNode* children = nullptr;  // its real subdirectories on the drive, in listing order
    std::uint32_t childCount = 0;
    std::uint32_t skipped = 0;       // names a Windows path cannot express
    const char* files = nullptr;     // its file names in listing order, each followed by a NUL ...
    const char* filesEnd = nullptr;  // ... up to here
    State state = State::Read;
    std::uint32_t fileCount = 0;   // the names from files to filesEnd
    const Error* error = nullptr;  // why it could not be read (Failed): the code and the system's reason
};

// A directory tree as FileSystem::readTree read it: every directory below the first with its files and its
// subdirectories, each list in listing order, whatever order the directories were read in.
class ScanTree {
public:
    const ScanNode& root() const { return m_root; }
    unsigned threads() const { return m_threads; }
    // The file and directory names, to be kept when the nodes are no longer needed.
    NameStore takeNames() { return std::move(m_names); }

private:
    friend class FileSystem;
    friend class TreeReading;

    ScanNode m_root;
    NameStore m_names;
    std::vector<std::unique_ptr<ScanNode[]>> m_nodes;
    std::vector<std::unique_ptr<Error>> m_errors;
    unsigned m_threads = 1;
};

}  // namespace morvane
