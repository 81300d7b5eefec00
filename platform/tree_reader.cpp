#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <typeinfo>
#include <vector>

#include "platform/directory_entries.h"
#include "platform/fd.h"
#include "platform/file_system.h"
#include "platform/path_resolver.h"
#include "platform/scan_tree.h"

namespace morvane {

using namespace host;

// One readTree call: a stack of directories waiting to be read, shared by the threads. Each waiting directory
// holds its parent's descriptor, which closes when the last of its subdirectories has been opened; taking the
// most recent first keeps that to about one open descriptor per level and thread.
class TreeReading {
public:
    TreeReading(const FileSystem& fs, ScanTree& tree, dev_t device, unsigned threads)
        : m_fs(fs), m_tree(tree), m_device(device), m_workers(threads)
    {}

    void run(Fd root, const LeftOutNode* leftOut, const TreeTick& tick)
    {
        m_stack.push_back(Task{&m_tree.m_root, nullptr, std::make_shared<Fd>(std::move(root)), leftOut});
        m_outstanding = 1;
        std::vector<std::thread> helpers;
        for (std::size_t k = 1; k < m_workers.size(); ++k) {
            helpers.emplace_back([this, k] { work(m_workers[k], nullptr); });
        }
        work(m_workers[0], tick ? &tick : nullptr);
        for (auto& helper : helpers) {
            helper.join();
        }
        for (Worker& worker : m_workers) {
            m_tree.m_names.absorb(std::move(worker.names));
            for (auto& block : worker.nodes) {
                m_tree.m_nodes.push_back(std::move(block));
            }
            for (auto& error : worker.errors) {
                m_tree.m_errors.push_back(std::move(error));
            }
        }
    }

private:
    struct Task {
        ScanNode* node;
        std::shared_ptr<Fd> parent;            // the open parent; null for the first directory
        std::shared_ptr<Fd> self;              // the first directory, already open
        const LeftOutNode* leftOut = nullptr;  // its node among the drive's left-out folders; null for almost every one
    };

    // What one thread owns: the names and nodes it stored, and a buffer for the entries of one directory.
    struct Worker {
        NameStore names;
        std::vector<std::unique_ptr<ScanNode[]>> nodes;
        std::size_t nodesFree = 0;
        std::vector<std::unique_ptr<Error>> errors;
        EntryNames entries;
        std::vector<Task> found;

        ScanNode* allocate(std::size_t count)
        {
            constexpr std::size_t kBlock = 4096;
            if (nodesFree < count) {
                const std::size_t size = std::max(kBlock, count);
                nodes.push_back(std::make_unique<ScanNode[]>(size));
                nodesFree = size;
                blockSize = size;
            }
            ScanNode* at = nodes.back().get() + (blockSize - nodesFree);
            nodesFree -= count;
            return at;
        }
        std::size_t blockSize = 0;
    };

    // Runs the tick on the calling thread; a tick that answers false stops the reading.
    void callTick(const TreeTick& tick)
    {
        if (!tick(static_cast<long>(m_directoriesRead.load(std::memory_order_relaxed)),
                  static_cast<long>(m_filesRead.load(std::memory_order_relaxed)))) {
            m_stopped.store(true);
        }
    }

    void work(Worker& worker, const TreeTick* tick)
    {
        using namespace std::chrono_literals;
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_mutex);
                while (m_stack.empty() && m_outstanding > 0) {
                    if (tick) {
                        // The calling thread keeps the window alive while the others read.
                        m_ready.wait_for(lock, 40ms);
                        lock.unlock();
                        callTick(*tick);
                        lock.lock();
                    } else {
                        m_ready.wait(lock);
                    }
                }
                if (m_stack.empty()) {
                    return;
                }
                task = std::move(m_stack.back());
                m_stack.pop_back();
            }
            worker.found.clear();
            if (!m_stopped.load(std::memory_order_relaxed)) {
                read(worker, task);
            }
            const std::size_t found = worker.found.size();
            bool done = false;
            {
                std::lock_guard lock(m_mutex);
                // The first subdirectory ends up on top, so a thread goes down the tree in listing order.
                for (std::size_t k = found; k > 0; --k) {
                    m_stack.push_back(std::move(worker.found[k - 1]));
                }
                m_outstanding += found;
                --m_outstanding;
                done = m_outstanding == 0;
            }
            if (done || found > 1) {
                m_ready.notify_all();
            } else if (found == 1) {
                m_ready.notify_one();
            }
            if (tick) {
                callTick(*tick);
            }
        }
    }

    void fail(Worker& worker, ScanNode& node, int code)
    {
        worker.errors.push_back(std::make_unique<Error>(errorFromErrno(std::string(), code)));
        node.error = worker.errors.back().get();
        node.state = ScanNode::State::Failed;
    }

    // Reads one directory into its node and queues its subdirectories.
    void read(Worker& worker, Task& task)
    {
        ScanNode& node = *task.node;
        std::shared_ptr<Fd> self = std::move(task.self);
        if (!self) {
            m_fs.beforeReadingDirectory(node.name);
            Fd fd(::openat(task.parent->get(), node.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            const int code = errno;
            task.parent.reset();
            if (!fd.valid()) {
                if (VanishedMeanwhile(errorFromErrno(std::string(), code))) {
                    node.state = ScanNode::State::Vanished;
                } else {
                    fail(worker, node, code);
                }
                return;
            }
            // A file system mounted on it since its parent was listed: not part of the drive any more.
            struct stat st {};
            if (::fstat(fd.get(), &st) != 0) {
                fail(worker, node, errno);
                return;
            }
            if (st.st_dev != m_device) {
                node.state = ScanNode::State::Vanished;
                return;
            }
            self = std::make_shared<Fd>(std::move(fd));
        }

        EntryNames& entries = worker.entries;
        if (const int code = readEntries(self->get(), m_device, true, entries, task.leftOut); code != 0) {
            fail(worker, node, code);
            return;
        }
        std::size_t bytes = 0;
        for (const EntryNames::Span span : entries.files) {
            bytes += span.size + 1;
        }
        char* at = worker.names.reserve(bytes);
        node.files = at;
        for (const EntryNames::Span span : entries.files) {
            std::memcpy(at, entries.cName(span), span.size + 1);
            at += span.size + 1;
        }
        node.filesEnd = at;
        node.fileCount = static_cast<std::uint32_t>(entries.files.size());
        worker.names.commit(bytes);
        m_directoriesRead.fetch_add(1, std::memory_order_relaxed);
        m_filesRead.fetch_add(entries.files.size(), std::memory_order_relaxed);
        node.skipped = static_cast<std::uint32_t>(entries.skippedFiles + entries.skippedDirectories);

        const std::size_t count = entries.directories.size();
        if (count == 0) {
            return;
        }
        node.children = worker.allocate(count);
        node.childCount = static_cast<std::uint32_t>(count);
        for (std::size_t k = 0; k < count; ++k) {
            ScanNode& child = node.children[k];
            child.name = worker.names.add(entries.name(entries.directories[k]));
            worker.found.push_back(Task{&child, self, nullptr, nullptr});
        }
        // Only a directory with a node of its own has subdirectories that may lead to deeper left-out folders.
        if (task.leftOut) {
            for (Task& found : worker.found) {
                found.leftOut = task.leftOut->child(found.node->name);
            }
        }
    }

    const FileSystem& m_fs;
    ScanTree& m_tree;
    const dev_t m_device;
    std::vector<Worker> m_workers;

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<Task> m_stack;
    std::size_t m_outstanding = 0;
    std::atomic<std::size_t> m_directoriesRead{0};
    std::atomic<std::size_t> m_filesRead{0};

public:
    std::atomic<bool> m_stopped{false};
};

unsigned FileSystem::scanThreads() const
{
    if (m_scanThreads > 0) {
        return m_scanThreads;
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

bool FileSystem::readsTreesDirectly() const
{
    return typeid(*this) == typeid(FileSystem);
}

Result<std::unique_ptr<ScanTree>> FileSystem::readTree(std::string_view directory,
                                                       const TreeTick& tick) const
{
    dev_t device = 0;
    const LeftOutNode* leftOut = nullptr;
    auto root = PathResolver(*this).openDirectory(directory, device, nullptr, true, &leftOut);
    if (!root) {
        return root.error();
    }
    auto tree = std::make_unique<ScanTree>();
    tree->m_threads = scanThreads();
    TreeReading reading(*this, *tree, device, tree->m_threads);
    reading.run(std::move(*root), leftOut, tick);
    if (reading.m_stopped.load()) {
        return errorWithReason(std::string(directory), ECANCELED, "Stopped at the user's request");
    }
    return tree;
}

}  // namespace morvane
