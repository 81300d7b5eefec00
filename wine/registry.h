#pragma once

// One of a Wine prefix's registry files (system.reg, user.reg or userdef.reg) in memory: its keys and values, with
// the operations that record and take back an installation's changes. wine/registry_reader.h reads one (and says
// what the format holds); wine/registry_writer.h writes one.
//
// Paths name keys below the file's top key, their parts separated by a single backslash ("Software\Wine"); the
// empty path is the top key itself. They are the file's own paths: a key marked "#link" is an ordinary key here,
// and nothing follows it to the key it stands for (Wine keeps a key made through a link at the link's target). Parts
// and value names are looked up as Wine looks them up, without regard to letter case (wine/registry_names.h); a key or
// value keeps the spelling it was created with.
//
// A registry read from a file keeps the file's text. A key that no operation touches is written back exactly as it
// was read; a key that one touches is written anew, as Wine writes one. A file Wine wrote, read and written back
// unchanged, thus gives the same bytes (keys that a file has out of Wine's order come back in Wine's order), and a
// changed file differs from the old one only in the keys that changed and the parents of keys added or deleted,
// which get the time of the change as Wine gives it to them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace morvane::wine {

// Value types, numbered as the registry numbers them. A value may have any 32-bit type; these are the usual ones.
enum RegistryType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// A key's time: 100-nanosecond ticks since 1601-01-01 UTC (a Windows FILETIME), as Wine keeps it.
using FileTime = std::uint64_t;

// FileTime of a Unix time in seconds and nanoseconds.
FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds = 0);

struct RegistryValue {
    std::u16string name;  // empty for the key's default value ("@" in the file)
    std::uint32_t type = kRegNone;
    // The exact bytes. A string (kRegSz, kRegExpandSz, kRegMultiSz) as Windows keeps one: UTF-16 code units, low
    // byte first, with its terminating NUL (a multi-string: each item followed by a NUL, then one more).
    std::string data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;

    // A string value of the code units `text`, which get their terminating NUL.
    static RegistryValue text(std::u16string name, std::u16string_view text, std::uint32_t type = kRegSz);
    // A multi-string value: each item and its NUL, then the final NUL.
    static RegistryValue multiText(std::u16string name, const std::vector<std::u16string>& items);
    static RegistryValue dword(std::u16string name, std::uint32_t number);
    static RegistryValue bytes(std::u16string name, std::string data, std::uint32_t type = kRegBinary);

    // The data as code units, without the terminating NUL when there is one; nullopt when the data is not whole
    // code units (an odd number of bytes).
    std::optional<std::u16string> units() const;
};

// What a key holds besides its values and subkeys.
struct RegistryKey {
    std::u16string name;  // spelled as stored; empty for the top key
    // When it last changed: the file's "#time=", else its "[...] seconds"; nullopt for a key the file only implies
    // by its subkeys (a key with subkeys and nothing else has no lines of its own).
    std::optional<FileTime> time;
    std::optional<std::u16string> className;  // "#class="
    bool link = false;                        // "#link": a symbolic link to the key its SymbolicLinkValue names

    friend bool operator==(const RegistryKey&, const RegistryKey&) = default;
};

class Registry {
public:
    // An empty registry: the header line alone, no keys.
    Registry();
    ~Registry();
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The lines before the first key (the header line, the "All keys relative to" comment, "#arch="), as read.
    std::string_view preamble() const;
    // "win32" or "win64" from the "#arch=" line before the first key; empty when there is none.
    std::string arch() const;

    // The key, or nullopt when there is none at that path.
    std::optional<RegistryKey> findKey(std::u16string_view path) const;
    // The names of the key's subkeys as stored, in Wine's order. NotFound when there is no such key.
    Result<std::vector<std::u16string>> subkeys(std::u16string_view path) const;
    // The key's values in Wine's order. NotFound when there is no such key.
    Result<std::vector<RegistryValue>> values(std::u16string_view path) const;
    // One value, or nullopt when the key or the value is not there.
    std::optional<RegistryValue> findValue(std::u16string_view path, std::u16string_view name) const;

    // Sets a value of an existing key (NotFound when the key is not there). A value of the same name in another
    // letter case is replaced and keeps its spelling. Setting a value to the type and data it has changes nothing.
    Status setValue(std::u16string_view path, const RegistryValue& value);
    // NotFound when the key or the value is not there.
    Status deleteValue(std::u16string_view path, std::u16string_view name);
    // Creates the key and any of its parents that are missing. A key that exists is left as it is.
    Status addKey(std::u16string_view path);
    // Deletes the key with all its subkeys and values. NotFound when it is not there; the top key (the empty path)
    // cannot be deleted (Invalid).
    Status deleteKey(std::u16string_view path);

    // The time a change gives the keys it touches, as Wine touches them: a key whose values change, a key created,
    // and the parent of a key created or deleted. Unless set, the time of the change itself.
    void setChangeTime(FileTime time) { m_changeTime = time; }

    // Same keys (spelled the same, in the same place), with the same times, classes, links and values. The text
    // they were read from does not count.
    friend bool operator==(const Registry& a, const Registry& b);

private:
    friend class RegistryBuilder;
    friend class RegistryFormatter;

    struct Block;
    struct Content;
    struct Node;

    static constexpr std::uint32_t kNoNode = 0xffffffff;

    std::optional<std::uint32_t> findNode(std::u16string_view path) const;
    // The child of that name (any letter case), or kNoNode; `insertAt` gets where it would go.
    std::uint32_t findChild(std::uint32_t parent, std::u16string_view name, std::size_t* insertAt = nullptr) const;
    std::uint32_t addChild(std::uint32_t parent, std::u16string_view name, std::size_t at);
    std::u16string_view nameOf(std::uint32_t node) const;
    // The key's content: what an operation left, else what its lines in the text say.
    Content contentOf(std::uint32_t node) const;
    // The content as the file shows it: no time for a key that has no lines of its own.
    Content shownContent(std::uint32_t node) const;
    // The key's content, taken from the text the first time, kept from now on and written anew.
    Content& changeable(std::uint32_t node);
    void touch(std::uint32_t node);
    // Whether a touched key gets lines of its own: Wine leaves out a key that has subkeys and nothing else.
    static bool writtenWhenTouched(const Node& node);
    FileTime changeTime() const;

    std::string m_text;  // the file as read
    std::size_t m_preambleEnd = 0;
    std::vector<Node> m_nodes;  // [0] is the top key; a deleted key's place stays empty
    std::u16string m_names;     // the keys' names, one after the other
    std::optional<FileTime> m_changeTime;
};

}  // namespace morvane::wine
