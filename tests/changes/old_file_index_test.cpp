#include "changes/old_file_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace morvane {
namespace {

LineStore Store(const std::vector<std::string>& lines)
{
    LineStore store;
    for (const std::string& line : lines) {
        store.append(line);
    }
    return store;
}

// The run search and the old-file test written out literally, one directory after the other: the reference
// the index must agree with on any list, ordered or not.
class LiteralSearch {
public:
    explicit LiteralSearch(const std::vector<std::string>& files) : m_files(files) {}

    void enterDirectory(const std::string& d)
    {
        std::size_t from = 0;
        if (!m_first && m_found && m_begin != m_files.size() - 1) {
            from = m_begin;
        }
        m_first = false;
        m_dir = d;
        m_found = false;
        for (std::size_t i = from; i < m_files.size(); ++i) {
            if (in(m_files[i])) {
                m_found = true;
                m_begin = i;
                m_end = i + 1;
                while (m_end < m_files.size() && in(m_files[m_end])) {
                    ++m_end;
                }
                break;
            }
        }
    }

    bool isOld(const std::string& name) const
    {
        if (!m_found) {
            return false;
        }
        const std::string path = m_dir + name;
        for (std::size_t i = m_begin; i < m_end; ++i) {
            std::string trimmed = m_files[i];
            while (!trimmed.empty() && trimmed.back() == ' ') {
                trimmed.pop_back();
            }
            if (path == m_files[i] || path == trimmed) {
                return true;
            }
        }
        return false;
    }

private:
    bool in(const std::string& line) const
    {
        return line.compare(0, m_dir.size(), m_dir) == 0 && line.find('\\', m_dir.size()) == std::string::npos;
    }

    const std::vector<std::string>& m_files;
    bool m_first = true;
    bool m_found = false;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::string m_dir;
};

TEST(OldFileIndex, SearchStartsAtThePreviousRunSoAnEarlierGroupIsMissed)
{
    // File lines out of the directory lines' order: \B\'s group comes before \A\'s. The forward search for \B\
    // starts at \A\'s run and misses it, so \B\'s recorded file counts as new.
    const std::vector<std::string> files = {"\\B\\X", "\\A\\Y", "\\A\\Z"};
    const LineStore store = Store(files);
    OldFileIndex index(store);
    index.enterDirectory("\\A\\");
    EXPECT_TRUE(index.isOld("Y"));
    index.enterDirectory("\\B\\");
    EXPECT_FALSE(index.isOld("X"));
    // After a directory without a run, the search starts from the top again.
    index.enterDirectory("\\C\\");
    index.enterDirectory("\\B\\");
    EXPECT_TRUE(index.isOld("X"));
}

TEST(OldFileIndex, AgreesWithTheLiteralSearchOnIrregularLists)
{
    // Directories that share prefixes, lines out of order and repeated, trailing spaces, lines without "\",
    // directory lines that do not end in "\", and large runs that take the hashed path.
    const std::vector<std::string> dirs = {"\\", "\\A\\", "\\A\\B\\", "\\AB\\", "\\A", "", "\\C\\", "\\A\\B"};
    const std::vector<std::string> names = {"f", "g", "f ", "f  ", " ", "H.TXT", "h.txt"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> files;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            const auto kind = random() % 10;
            if (kind == 0) {
                files.push_back(names[random() % names.size()]);  // no "\" at all
            } else if (kind == 1) {
                files.push_back("\\A" + names[random() % names.size()]);  // directly in "\A"
            } else {
                std::string dir = dirs[random() % dirs.size()];
                if (!dir.empty() && dir.back() != '\\') {
                    dir += '\\';
                }
                files.push_back((dir.empty() ? "\\" : dir) + names[random() % names.size()]);
            }
            // Long stretches of one directory, so that some runs exceed the size compared line by line.
            if (random() % 3 == 0) {
                for (int k = 0; k < 20; ++k) {
                    files.push_back(files.back().substr(0, files.back().rfind('\\') + 1) + "n" + std::to_string(k));
                }
            }
        }
        const LineStore store = Store(files);
        OldFileIndex index(store);
        LiteralSearch literal(files);
        const int visits = 1 + static_cast<int>(random() % 12);
        for (int v = 0; v < visits; ++v) {
            const std::string& dir = dirs[random() % dirs.size()];
            index.enterDirectory(dir);
            literal.enterDirectory(dir);
            // Each name twice, forwards and then backwards: the answer does not depend on what was asked before.
            for (std::size_t k = 0; k < 2 * names.size(); ++k) {
                const std::string& name = names[k < names.size() ? k : 2 * names.size() - 1 - k];
                ASSERT_EQ(index.isOld(name), literal.isOld(name))
                    << "round " << round << ", directory \"" << dir << "\", name \"" << name << "\"";
            }
            for (int k = 0; k < 20; k += 7) {
                const std::string name = "n" + std::to_string(k);
                ASSERT_EQ(index.isOld(name), literal.isOld(name)) << "round " << round << ", " << dir << name;
            }
        }
    }
}

}  // namespace
}  // namespace morvane
