#include "snapshot/directory_tree.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <numeric>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/helpers.h"
#include "platform/letter_case.h"

namespace morvane {
namespace {

// Lets window events run at most every 40 ms (25 times a second), not once per directory: a scan reads
// thousands of directories a second, and processing events for each would cost more than the reading. The
// clock is read every 8 directories.
class EventGate {
public:
    explicit EventGate(EventPump& events) : m_events(events), m_last(Clock::now()) {}
    // False when the user asked to stop the command while events ran.
    bool tick(long directories, long files)
    {
        if (++m_sinceCheck < kCheckEvery) {
            return true;
        }
        m_sinceCheck = 0;
        const auto now = Clock::now();
        if (now - m_last >= kInterval) {
            m_events.scanProgress(directories, files);
            m_events.processEvents();
            m_last = Clock::now();
            return !m_events.stopRequested();
        }
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kCheckEvery = 8;
    static constexpr auto kInterval = std::chrono::milliseconds(40);
    EventPump& m_events;
    Clock::time_point m_last;
    int m_sinceCheck = 0;
};

// The values of the exchange sort's positions, for one query: the rightmost position before `end` whose value
// is strictly greater than a threshold, which is the next exchange of the sort's inner loop. Values only ever
// go down. They lie in blocks of 64 with the maximum of each block, and those maxima in groups of 64 with
// theirs, so that a query compares a few runs of 64 neighbouring values (16 at a time where the processor
// can) instead of walking a binary tree with a cache miss at every level. Lengths below 32768 are held as
// 16-bit values, which is every real drive; longer ones take 32 bits and plain comparisons.
template <typename Value>
class RightmostGreater {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    explicit RightmostGreater(const std::vector<std::uint32_t>& values)
        : m_values((values.size() + kGroup - 1) / kGroup * kGroup, 0)
    {
        std::copy(values.begin(), values.end(), m_values.begin());
        m_blocks.resize(m_values.size() / kBlock);
        for (std::size_t b = 0; b < m_blocks.size(); ++b) {
            m_blocks[b] = maximum(&m_values[b * kBlock]);
        }
        m_groups.resize(m_blocks.size() / kBlock);
        for (std::size_t g = 0; g < m_groups.size(); ++g) {
            m_groups[g] = maximum(&m_blocks[g * kBlock]);
        }
    }

    Value operator[](std::size_t position) const { return m_values[position]; }

    // Sets a position to a value no greater than the one it holds.
    void lower(std::size_t position, Value value)
    {
        const Value old = m_values[position];
        m_values[position] = value;
        const std::size_t block = position / kBlock;
        if (old != m_blocks[block]) {
            return;  // it was not the block's maximum, so no maximum changes
        }
        const Value blockMax = maximum(&m_values[block * kBlock]);
        if (blockMax == old) {
            return;
        }
        m_blocks[block] = blockMax;
        const std::size_t group = block / kBlock;
        if (old == m_groups[group]) {
            m_groups[group] = maximum(&m_blocks[group * kBlock]);
        }
    }

    // The rightmost position p < end with value(p) > threshold, or kNone.
    std::size_t find(std::size_t end, Value threshold) const
    {
        if (end == 0) {
            return kNone;
        }
        const std::size_t last = end - 1;
        std::size_t block = last / kBlock;
        // Positions from the start of last's block up to last, then whole blocks before it in its group.
        if (const std::uint64_t found = greater(&m_values[block * kBlock], threshold) & upTo(last % kBlock)) {
            return block * kBlock + highest(found);
        }
        const std::size_t group = block / kBlock;
        if (block % kBlock != 0) {
            if (const std::uint64_t found = greater(&m_blocks[group * kBlock], threshold) & upTo(block % kBlock - 1)) {
                return within(group * kBlock + highest(found), threshold);
            }
        }
        for (std::size_t g = group; g-- > 0;) {
            if (m_groups[g] > threshold) {
                return within(g * kBlock + highest(greater(&m_blocks[g * kBlock], threshold)), threshold);
            }
        }
        return kNone;
    }

private:
    static constexpr std::size_t kBlock = 64;
    static constexpr std::size_t kGroup = kBlock * kBlock;

    // The rightmost position of a block whose maximum exceeds the threshold.
    std::size_t within(std::size_t block, Value threshold) const
    {
        return block * kBlock + highest(greater(&m_values[block * kBlock], threshold));
    }

    static std::uint64_t upTo(std::size_t bit) { return ~std::uint64_t{0} >> (63 - bit); }
    static std::size_t highest(std::uint64_t bits) { return 63 - static_cast<std::size_t>(std::countl_zero(bits)); }

    static Value maximum(const Value* run)
    {
        Value most = 0;
        for (std::size_t k = 0; k < kBlock; ++k) {
            most = std::max(most, run[k]);
        }
        return most;
    }

    // Bit k set when run[k] > threshold, for the 64 values of a run.
    static std::uint64_t greater(const Value* run, Value threshold)
    {
#if defined(__SSE2__)
        if constexpr (std::is_same_v<Value, std::int16_t>) {
            const __m128i limit = _mm_set1_epi16(threshold);
            std::uint64_t bits = 0;
            for (std::size_t k = 0; k < kBlock; k += 16) {
                const __m128i low = _mm_cmpgt_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(run + k)), limit);
                const __m128i high =
                    _mm_cmpgt_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(run + k + 8)), limit);
                const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
                bits |= std::uint64_t{mask} << k;
            }
            return bits;
        }
#endif
        std::uint64_t bits = 0;
        for (std::size_t k = 0; k < kBlock; ++k) {
            bits |= std::uint64_t{run[k] > threshold} << k;
        }
        return bits;
    }

    std::vector<Value> m_values;  // padded with zeros to whole groups
    std::vector<Value> m_blocks;
    std::vector<Value> m_groups;
};

// In pass i the inner loop walks j from the end down to i + 1 and exchanges whenever entry j is longer than
// the entry now at i. Each exchange makes entry i longer, so the exchanges of one pass form a chain: the next
// one is at the rightmost position left of the last exchange whose length is strictly greater than the new
// entry i's. The structure finds each; positions the chain skips are never touched, exactly as in the two
// loops. The entry travelling along the chain is held aside and put down at i when the pass ends.
template <typename Value>
std::vector<std::size_t> exchangeSortPermutation(const std::vector<std::uint32_t>& lengths)
{
    const std::size_t n = lengths.size();
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    RightmostGreater<Value> length(lengths);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        Value held = length[i];
        std::uint32_t entry = order[i];
        for (std::size_t end = n;;) {
            const std::size_t j = length.find(end, held);
            if (j == RightmostGreater<Value>::kNone || j <= i) {
                break;
            }
            const Value longer = length[j];
            std::swap(entry, order[j]);
            length.lower(j, held);
            held = longer;
            end = j;
        }
        order[i] = entry;
        // Position i is never looked at again; clearing it keeps the answers inside i + 1 .. end.
        length.lower(i, 0);
    }
    return std::vector<std::size_t>(order.begin(), order.end());
}

}  // namespace

DirectoryFiles::Names DirectoryFiles::of(long entry) const
{
    if (entry < m_first || static_cast<std::size_t>(entry - m_first) >= directories()) {
        return Names(nullptr, nullptr);
    }
    const Range& range = m_ranges[static_cast<std::size_t>(entry - m_first)];
    return Names(range.begin, range.end);
}

void DirectoryFiles::prefetchPlace(long entry) const
{
    if (entry >= m_first && static_cast<std::size_t>(entry - m_first) < directories()) {
        __builtin_prefetch(&m_ranges[static_cast<std::size_t>(entry - m_first)]);
    }
}

void DirectoryFiles::prefetchNames(long entry) const
{
    if (entry >= m_first && static_cast<std::size_t>(entry - m_first) < directories()) {
        if (const char* names = m_ranges[static_cast<std::size_t>(entry - m_first)].begin; names != nullptr) {
            __builtin_prefetch(names);
        }
    }
}

bool DirectoryFiles::vanished(long entry) const
{
    if (entry < m_first || static_cast<std::size_t>(entry - m_first) >= directories()) {
        return false;
    }
    return m_vanished[static_cast<std::size_t>(entry - m_first)];
}

void DirectoryFiles::start(long firstEntry)
{
    clear();
    m_first = firstEntry;
}

void DirectoryFiles::add(const std::vector<std::string>& names)
{
    std::size_t bytes = 0;
    for (const std::string& name : names) {
        bytes += name.size() + 1;
    }
    char* const begin = m_store.reserve(bytes);
    char* at = begin;
    for (const std::string& name : names) {
        std::memcpy(at, name.c_str(), name.size() + 1);
        at += name.size() + 1;
    }
    m_store.commit(bytes);
    addStored(begin, at);
}

void DirectoryFiles::addStored(const char* begin, const char* end)
{
    m_ranges.push_back(Range{begin, end});
    m_vanished.push_back(false);
}

void DirectoryFiles::addVanished()
{
    m_ranges.push_back(Range{nullptr, nullptr});
    m_vanished.push_back(true);
    m_anyVanished = true;
}

void DirectoryFiles::clear()
{
    m_first = 0;
    m_store.clear();
    m_ranges.clear();
    m_vanished.clear();
    m_anyVanished = false;
}

namespace {

// The entry of a subdirectory: its parent's entry and its name, ending in "\".
std::string subdirectoryEntry(const std::string& directory, std::string_view name)
{
    std::string path = directory;
    path += name;
    if (static_cast<unsigned char>(path.back()) < 32) {
        path.back() = '\\';
    }
    if (path.back() != '\\') {
        path += '\\';
    }
    return path;
}

// The whole tree read at once by the platform (on several threads), then laid out breadth-first: the list is
// the same as reading one directory after the other would give. `list` holds the root at slot 1, drive included,
// and every directory is added with its drive.
Status readWholeTree(const Context& ctx, std::vector<std::string>& list, ScanCounts* counts, DirectoryFiles* files)
{
    constexpr std::size_t rootPosition = 1;
    EventGate gate(ctx.events);
    const std::string root = list[rootPosition];
    auto tree = ctx.fs.readTree(root, [&gate](long directories, long files) { return gate.tick(directories, files); });
    if (!tree) {
        return Error{root, tree.error().code, tree.error().reason, tree.error().kind};
    }
    std::vector<const ScanNode*> order{&(*tree)->root()};
    long filesRead = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const ScanNode& node = *order[k];
        const std::size_t position = rootPosition + k;
        if (node.state == ScanNode::State::Failed) {
            const std::string& directory = list[position];
            return Error{directory, node.error->code, node.error->reason, node.error->kind};
        }
        if (node.state == ScanNode::State::Vanished) {
            // Removed or replaced since its parent was listed: an empty directory, with nothing to descend into.
            if (files) {
                files->addVanished();
            }
            continue;
        }
        if (counts) {
            counts->skipped += node.skipped;
        }
        if (files) {
            files->addStored(node.files, node.filesEnd);
        }
        filesRead += node.fileCount;
        for (std::uint32_t c = 0; c < node.childCount; ++c) {
            list.push_back(subdirectoryEntry(list[position], node.children[c].name));
            order.push_back(&node.children[c]);
        }
    }
    if (files) {
        files->keep((*tree)->takeNames());
    }
    ctx.events.scanProgress(static_cast<long>(order.size()), filesRead);
    return {};
}

// One readDirectory call per directory, in the order of the list (for file systems that hook that call). `list`
// as for readWholeTree.
Status readEachDirectory(const Context& ctx, std::vector<std::string>& list, ScanCounts* counts, DirectoryFiles* files)
{
    constexpr std::size_t rootPosition = 1;
    std::size_t position = rootPosition;
    EventGate gate(ctx.events);
    long filesRead = 0;
    Status status;
    for (;;) {
        // A copy: appending below may move the list.
        const std::string directory = list[position];
        auto contents = ctx.fs.readDirectory(directory);
        if (contents) {
            filesRead += static_cast<long>(contents->files.size());
            if (counts) {
                counts->skipped += contents->skipped;
            }
            if (files) {
                files->add(contents->files);
            }
            for (const std::string& name : contents->subdirectories) {
                list.push_back(subdirectoryEntry(directory, name));
            }
        } else if (position != rootPosition && VanishedMeanwhile(contents.error())) {
            // Removed or replaced since its parent was listed: an empty directory, with nothing to descend into.
            if (files) {
                files->addVanished();
            }
        } else {
            status = Error{directory, contents.error().code, contents.error().reason, contents.error().kind};
            break;
        }
        ++position;
        if (position >= list.size()) {
            break;
        }
        if (!gate.tick(static_cast<long>(position - rootPosition), filesRead)) {
            status = Error{list[position], ECANCELED, "Stopped at the user's request"};
            break;
        }
    }
    ctx.events.scanProgress(static_cast<long>(position - rootPosition), filesRead);
    return status;
}

}  // namespace

void DirList::reorder(const std::vector<std::size_t>& order)
{
    std::vector<std::string> sorted(m_slots.size());
    for (std::size_t k = 0; k < order.size() && k + 1 < sorted.size(); ++k) {
        sorted[k + 1] = std::move(m_slots[order[k] + 1]);
    }
    m_slots.swap(sorted);
}

Result<DirList> ReadDirectoryTree(const Context& ctx, std::string_view root, ScanCounts* counts, DirectoryFiles* files)
{
    // While the scan runs the entries carry their drive, as the file system is asked for them. Positions in the
    // list are plain indexes: the walk has no limit of its own on the number of directories.
    std::vector<std::string> list(2);
    list[1] = root;
    if (files) {
        files->start(1);
    }
    const Status status = ctx.fs.readsTreesDirectly() ? readWholeTree(ctx, list, counts, files)
                                                      : readEachDirectory(ctx, list, counts, files);
    if (!status) {
        return status.error();
    }
    for (std::string& entry : list) {
        if (entry.size() >= 2 && entry[1] == ':') {
            entry.erase(0, 2);
        }
    }
    return DirList(std::move(list));
}

std::vector<std::size_t> ExchangeSortPermutation(const std::vector<std::uint32_t>& lengths)
{
    const std::uint32_t longest = lengths.empty() ? 0 : *std::max_element(lengths.begin(), lengths.end());
    if (longest <= static_cast<std::uint32_t>(std::numeric_limits<std::int16_t>::max())) {
        return exchangeSortPermutation<std::int16_t>(lengths);
    }
    return exchangeSortPermutation<std::uint32_t>(lengths);
}

void ExchangeSortByLength(std::vector<std::string>& list, std::size_t first, std::size_t last)
{
    if (last <= first || last >= list.size()) {
        return;
    }
    const std::size_t n = last - first + 1;
    std::vector<std::uint32_t> lengths(n);
    for (std::size_t k = 0; k < n; ++k) {
        lengths[k] = static_cast<std::uint32_t>(list[first + k].size());
    }
    const std::vector<std::size_t> order = ExchangeSortPermutation(lengths);
    std::vector<std::string> sorted(n);
    for (std::size_t k = 0; k < n; ++k) {
        sorted[k] = std::move(list[first + order[k]]);
    }
    std::move(sorted.begin(), sorted.end(), list.begin() + static_cast<std::ptrdiff_t>(first));
}

std::vector<std::size_t> SortDirListByLength(DirList& list)
{
    const auto count = static_cast<std::size_t>(list.DirCount());
    std::vector<std::uint32_t> lengths(count);
    for (std::size_t k = 0; k < count; ++k) {
        lengths[k] = static_cast<std::uint32_t>(list[k + 1].size());
    }
    std::vector<std::size_t> order = ExchangeSortPermutation(lengths);
    list.reorder(order);
    return order;
}

std::string ReasonSentence(const Error& error)
{
    std::string reason = error.reason.empty() ? std::string("Unknown error") : error.reason;
    reason[0] = UpperAscii(reason[0]);
    while (!reason.empty() && reason.back() == '.') {
        reason.pop_back();
    }
    return reason;
}

void ReportSkippedNames(Prompts& prompts, std::size_t count)
{
    if (count == 0) {
        return;
    }
    prompts.messageBox(Notice::NamesPassedOver,
                       std::to_string(count) +
                           " file or directory names were passed over because a Windows path cannot express them "
                           "(they hold a backslash or a control character).",
                       Buttons::Ok, Icon::Information, kAppTitle);
}

}  // namespace morvane
