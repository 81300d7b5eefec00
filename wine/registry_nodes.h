#pragma once

// How a Registry keeps its keys: for the model, its reader and its writer only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wine/registry.h"

namespace morvane::wine {

// Puts a value in its place among values in Wine's order; one of the same name takes its type and data and keeps
// its spelling, as when Wine sets a value that is there, or reads a name a second time.
void PutValue(std::vector<RegistryValue>& values, RegistryValue value);

// A stretch of the text that belongs to one key: the blank lines before its header, the header "[...]", its option
// lines, its values and any comments, up to the blank lines before the next header (or the end of the text).
struct Registry::Block {
    std::uint32_t begin = 0;  // the text is below 4 GiB
    std::uint32_t length : 31 = 0;
    // The header spells each part of the path as the keys are stored. A header that spells one in another letter
    // case (a file not written by Wine) gets the stored spelling when written, so that reading the written file
    // gives the same names whatever order its keys come in.
    std::uint32_t exactPath : 1 = 1;
};

// What a key holds besides its subkeys.
struct Registry::Content {
    std::optional<FileTime> time;
    std::optional<std::u16string> className;
    bool link = false;
    std::vector<RegistryValue> values;  // in Wine's order, no two names the same but for letter case

    friend bool operator==(const Content&, const Content&) = default;
};

// A key, kept small: a large file has hundreds of thousands.
struct Registry::Node {
    std::uint32_t nameAt = 0;  // its name in m_names
    std::uint32_t nameLength = 0;
    std::uint32_t parent = kNoNode;
    bool hasBlock = false;
    bool removed = false;
    // Touched by an operation: written anew from `content` instead of from its blocks.
    bool changed = false;
    Block block;                                     // the key's lines in the text, when hasBlock
    std::vector<std::uint32_t> children;             // in Wine's order of their names
    std::unique_ptr<std::vector<Block>> moreBlocks;  // lines of a key that the text names more than once
    // The key's content once an operation has asked to change it; until then its blocks say what it holds.
    std::unique_ptr<Content> content;
};

inline std::u16string_view Registry::nameOf(std::uint32_t node) const
{
    return {m_names.data() + m_nodes[node].nameAt, m_nodes[node].nameLength};
}

inline bool Registry::writtenWhenTouched(const Node& node)
{
    const Registry::Content& content = *node.content;
    return !content.values.empty() || node.children.empty() || content.className || content.link;
}

}  // namespace morvane::wine
