#include "snapshot/directory_tree.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <numeric>

#include "core/helpers.h"

namespace morvane {
namespace {

// The list grows so that its highest slot is the new count + 50.
void appendEntry(State& state, std::string entry)
{
    ++state.DirCount;
    const auto slot = static_cast<std::size_t>(state.DirCount);
    if (slot >= state.DirList.size()) {
        state.DirList.resize(slot + 51);
    }
    state.DirList[slot] = std::move(entry);
}

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

// Max segment tree over positions, with one query: the rightmost position before `end` whose value is strictly
// greater than a threshold. That is the next exchange of the exchange sort's inner loop.
class RightmostGreater {
public:
    explicit RightmostGreater(const std::vector<std::uint32_t>& values)
    {
        while (m_leaves < values.size()) {
            m_leaves *= 2;
        }
        m_tree.assign(2 * m_leaves, 0);
        std::copy(values.begin(), values.end(), m_tree.begin() + static_cast<std::ptrdiff_t>(m_leaves));
        for (std::size_t node = m_leaves - 1; node >= 1; --node) {
            m_tree[node] = std::max(m_tree[2 * node], m_tree[2 * node + 1]);
        }
    }

    void set(std::size_t position, std::uint32_t value)
    {
        std::size_t node = position + m_leaves;
        m_tree[node] = value;
        for (node /= 2; node >= 1; node /= 2) {
            const std::uint32_t m = std::max(m_tree[2 * node], m_tree[2 * node + 1]);
            if (m_tree[node] == m) {
                break;  // nothing above changes
            }
            m_tree[node] = m;
        }
    }

    // The rightmost position p < end with value(p) > threshold, or kNone. Walks left from `end` over the
    // maximal aligned blocks, then down into the first block whose maximum exceeds the threshold.
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t find(std::size_t end, std::uint32_t threshold) const
    {
        if (end == 0) {
            return kNone;
        }
        std::size_t node = end + m_leaves;
        for (;;) {
            --node;
            // Up while the node is a right child, in one step: the block ending just before the last one looked
            // at. A node of all one bits is the last of its level and climbs to the root.
            node = (node & (node + 1)) == 0 ? 1 : node >> std::countr_one(node);
            if (m_tree[node] > threshold) {
                while (node < m_leaves) {
                    node = 2 * node + 1;
                    node -= m_tree[node] <= threshold ? 1 : 0;
                }
                return node - m_leaves;
            }
            if ((node & (node - 1)) == 0) {
                return kNone;  // that block started at position 0
            }
        }
    }

private:
    std::size_t m_leaves = 1;
    std::vector<std::uint32_t> m_tree;
};

}  // namespace

DirectoryFiles::Names DirectoryFiles::of(long entry) const
{
    if (entry < m_first || static_cast<std::size_t>(entry - m_first) >= directories()) {
        return Names(nullptr, nullptr);
    }
    const Range& range = m_ranges[static_cast<std::size_t>(entry - m_first)];
    return Names(range.begin, range.end);
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
// the same as reading one directory after the other would give.
Status readWholeTree(const Context& ctx, std::size_t rootPosition, ScanCounts* counts, DirectoryFiles* files)
{
    State& state = ctx.state;
    EventGate gate(ctx.events);
    const std::string root = state.DirList[rootPosition];
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
            const std::string& directory = state.DirList[position];
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
        filesRead += std::count(node.files, node.filesEnd, '\0');
        for (std::uint32_t c = 0; c < node.childCount; ++c) {
            appendEntry(state, subdirectoryEntry(state.DirList[position], node.children[c].name));
            order.push_back(&node.children[c]);
        }
    }
    if (files) {
        files->keep((*tree)->takeNames());
    }
    ctx.events.scanProgress(static_cast<long>(order.size()), filesRead);
    return {};
}

// One readDirectory call per directory, in the order of the list (for file systems that hook that call).
Status readEachDirectory(const Context& ctx, std::size_t rootPosition, ScanCounts* counts, DirectoryFiles* files)
{
    State& state = ctx.state;
    std::size_t position = rootPosition;
    EventGate gate(ctx.events);
    long filesRead = 0;
    Status status;
    for (;;) {
        // A copy: appending below may move the list.
        const std::string directory = state.DirList[position];
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
                appendEntry(state, subdirectoryEntry(directory, name));
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
        if (position > static_cast<std::size_t>(state.DirCount) || state.DirList[position].empty()) {
            break;
        }
        if (!gate.tick(static_cast<long>(position - rootPosition), filesRead)) {
            status = Error{state.DirList[position], ECANCELED, "Stopped at the user's request"};
            break;
        }
    }
    ctx.events.scanProgress(static_cast<long>(position - rootPosition), filesRead);
    return status;
}

}  // namespace

Status ReadDirectoryTree(const Context& ctx, std::string_view root, ScanCounts* counts, DirectoryFiles* files)
{
    State& state = ctx.state;
    appendEntry(state, std::string(root));
    // The scan position is a plain index: the walk has no limit of its own on the number of directories.
    auto position = static_cast<std::size_t>(state.DirCount);
    if (files) {
        files->start(state.DirCount);
    }
    const auto rootPosition = position;
    Status status;
    if (ctx.fs.readsTreesDirectly()) {
        status = readWholeTree(ctx, rootPosition, counts, files);
    } else {
        status = readEachDirectory(ctx, rootPosition, counts, files);
    }
    for (std::size_t slot = 0; slot <= static_cast<std::size_t>(state.DirCount) && slot < state.DirList.size();
         ++slot) {
        std::string& entry = state.DirList[slot];
        if (entry.size() >= 2 && entry[1] == ':') {
            entry.erase(0, 2);
        }
    }
    return status;
}

std::vector<std::size_t> ExchangeSortPermutation(const std::vector<std::uint32_t>& lengths)
{
    const std::size_t n = lengths.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (n < 2) {
        return order;
    }
    // In pass i the inner loop walks j from the end down to i + 1 and exchanges whenever entry j is longer
    // than the entry now at i. Each exchange makes entry i longer, so the exchanges of one pass form a chain:
    // the next one is at the rightmost position left of the last exchange whose length is strictly greater
    // than the new entry i's. The tree finds each in log n; positions the chain skips are never touched,
    // exactly as in the two loops.
    std::vector<std::uint32_t> length = lengths;
    RightmostGreater tree(length);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t end = n;
        for (;;) {
            const std::size_t j = tree.find(end, length[i]);
            if (j == RightmostGreater::kNone || j <= i) {
                break;
            }
            std::swap(order[i], order[j]);
            std::swap(length[i], length[j]);
            tree.set(j, length[j]);
            end = j;
        }
        // Position i is never looked at again; clearing it keeps the tree's answers inside i + 1 .. end.
        tree.set(i, 0);
    }
    return order;
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

void SortDirListByLength(State& state)
{
    if (state.DirCount >= 2) {
        ExchangeSortByLength(state.DirList, 1, static_cast<std::size_t>(state.DirCount));
    }
}

std::string ReasonSentence(const Error& error)
{
    std::string reason = error.reason.empty() ? std::string("Unknown error") : error.reason;
    if (reason[0] >= 'a' && reason[0] <= 'z') {
        reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
    }
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
    prompts.messageBox(std::to_string(count) +
                           " file or directory names were passed over because a Windows path cannot express them "
                           "(they hold a backslash or a control character).",
                       Buttons::Ok, Icon::Information, kAppTitle);
}

}  // namespace morvane
