#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/context.h"
#include "platform/scan_tree.h"

namespace morvane {

// One drive's directories as a scan lists them: entries 1..DirCount(), slot 0 unused, so that an entry's number
// is the one DirectoryFiles::of takes. Entries hold no drive letter and begin and end with "\":
// "\" for the root, "\A\B\" below it.
class DirList {
public:
    DirList() : m_slots(1) {}
    // A list from its slots, the unused slot 0 included.
    explicit DirList(std::vector<std::string> slots) : m_slots(std::move(slots))
    {
        if (m_slots.empty()) {
            m_slots.emplace_back();
        }
    }

    long DirCount() const { return static_cast<long>(m_slots.size()) - 1; }
    const std::string& operator[](std::size_t slot) const { return m_slots[slot]; }
    // Slots 0..DirCount(), for code that works on the whole list at once.
    const std::vector<std::string>& slots() const { return m_slots; }

    // Puts the entry now at slot order[k] + 1 at slot k + 1, for k from 0 to DirCount() - 1 (the permutation
    // ExchangeSortPermutation gives). Entries are moved, not copied.
    void reorder(const std::vector<std::size_t>& order);

private:
    std::vector<std::string> m_slots;
};

// What a scan passed over, added up over every call that is given the same counts.
struct ScanCounts {
    std::size_t skipped = 0;  // file and directory names a Windows path cannot express (the platform leaves them out)
};

// The file names of every directory a scan read, kept from the tree walk so that BEFORE creation writes its
// file lines without listing each directory a second time. The names lie in large blocks, each followed by a NUL
// (which no name holds), those of one directory side by side, so a million names cost their own bytes and one
// range per directory, not a string object each. The tree reader stores them there directly.
class DirectoryFiles {
public:
    class Names {
    public:
        class iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = std::string_view;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = std::string_view;

            iterator() = default;
            // Each name's length is measured once, when the iterator comes to it.
            iterator(const char* at, const char* end) : m_at(at), m_size(at == end ? 0 : length(at)), m_end(end) {}
            std::string_view operator*() const { return std::string_view(m_at, m_size); }
            iterator& operator++()
            {
                m_at += m_size + 1;
                m_size = m_at == m_end ? 0 : length(m_at);
                return *this;
            }
            iterator operator++(int)
            {
                iterator old = *this;
                ++*this;
                return old;
            }
            bool operator==(const iterator& other) const { return m_at == other.m_at; }

        private:
            static std::size_t length(const char* name) { return std::char_traits<char>::length(name); }
            const char* m_at = nullptr;
            std::size_t m_size = 0;
            const char* m_end = nullptr;
        };
        Names(const char* begin, const char* end) : m_begin(begin), m_end(end) {}
        iterator begin() const { return iterator(m_begin, m_end); }
        iterator end() const { return iterator(m_end, m_end); }
        bool empty() const { return m_begin == m_end; }

    private:
        const char* m_begin;
        const char* m_end;
    };

    // The files of the directory at entry `entry` of the scan's DirList, in listing order. Empty for an entry the
    // scan did not read.
    Names of(long entry) const;
    // Ask the processor to start loading what of(entry) will read: the names lie scattered over memory in the
    // order the threads read them, and a list written in another order would otherwise wait on each. The
    // directory's place in the index first, its names once that has arrived.
    void prefetchPlace(long entry) const;
    void prefetchNames(long entry) const;

    // True when the directory stored at `entry` was gone, or no longer a directory of the drive, when the scan
    // came to read it (see ReadDirectoryTree): it stands in the list as an empty directory.
    bool vanished(long entry) const;
    bool anyVanished() const { return m_anyVanished; }

    // The scan calls these: the directory read next is entry `firstEntry` of its list, the others follow one
    // after another.
    void start(long firstEntry);
    void add(const std::vector<std::string>& names);
    // Names already stored in blocks that keep() hands over: [begin, end), each followed by a NUL.
    void addStored(const char* begin, const char* end);
    void keep(NameStore&& names) { m_store.absorb(std::move(names)); }
    void addVanished();

    void clear();
    std::size_t directories() const { return m_ranges.size(); }

private:
    struct Range {
        const char* begin;
        const char* end;
    };
    long m_first = 0;
    NameStore m_store;
    std::vector<Range> m_ranges;   // directory k's names
    std::vector<bool> m_vanished;  // per directory read
    bool m_anyVanished = false;
};

// Reads the whole directory tree below root (a drive letter and ":\", "C:\") breadth-first and returns its list,
// without the drive ("C:\A\" is listed as "\A\"). The root is entry 1, then come every directory one level
// down, then two levels down; the subdirectories of one directory stay together in the platform's listing
// order, the groups in the order their parents were listed.
//
// The drive is live: a directory below the root that its parent's listing named but that is gone, or is no
// longer a directory of the drive, by the time the scan reads it (VanishedMeanwhile) stays in the list as an
// empty directory, without an error and without being counted; `files` marks it as vanished. Any other
// directory that cannot be read ends the scan with an error whose path is that directory as it stood in the
// list, drive included ("C:\TEMP\"). Names the platform passed over (a Windows path cannot express them) are added to
// counts->skipped; the folders the drive map leaves out are not part of the drive and count for nothing. When
// `files` is given, the file names of each directory read are kept there (see DirectoryFiles). Window events run
// on the calling thread a few dozen times a second at most, however many directories there are; when the user
// asked to stop meanwhile (EventPump::stopRequested), the scan ends with an error of code ECANCELED (see
// StoppedByUser).
//
// The drive is read with FileSystem::readTree (on several threads, each directory opened relative to its
// parent) when the file system reads whole trees, else with one readDirectory call per directory in list
// order; both give the same list, the same names and the same first failing directory.
Result<DirList> ReadDirectoryTree(const Context& ctx, std::string_view root, ScanCounts* counts = nullptr,
                                  DirectoryFiles* files = nullptr);

// The scan ended because the user asked to stop: the command ends as a Cancel does, without a message.
inline bool StoppedByUser(const Error& error)
{
    return error.code == ECANCELED;
}

// Where each entry ends up under the exchange sort by length:
//
//     for i in 0 .. n-2:  for j in n-1 down to i+1:  if length[j] > length[i]: exchange i and j
//
// result[k] is the index (into `lengths`) of the entry that the sort leaves at position k. Entries of equal
// length end up exactly where those two loops leave them; the work follows the exchanges the loops make, not
// the n * n / 2 comparisons.
std::vector<std::size_t> ExchangeSortPermutation(const std::vector<std::uint32_t>& lengths);

// Sorts entries first..last (inclusive) of a list longest first, in exactly the exchange sort's order.
void ExchangeSortByLength(std::vector<std::string>& list, std::size_t first, std::size_t last);

// Sorts the entries 1..DirCount longest first, in exactly the exchange sort's order, and returns where each came
// from: entry k + 1 of the sorted list was entry order[k] + 1 before.
std::vector<std::size_t> SortDirListByLength(DirList& list);

// The system's reason of a failure to read, to follow a sentence of a message: its first letter in upper case,
// without a closing full stop ("Permission denied").
std::string ReasonSentence(const Error& error);

// When count > 0, says how many names were passed over, with OK, the information icon and the title "Morvane".
void ReportSkippedNames(Prompts& prompts, std::size_t count);

}  // namespace morvane
