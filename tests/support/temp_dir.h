#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::test {

// A temporary folder removed with everything in it (read-only and unreadable folders included) when the
// object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }  // no trailing '/'
    std::string operator/(std::string_view relative) const { return m_path + "/" + std::string(relative); }

private:
    std::string m_path;
};

// Creates the folder and its parents.
void makeDirs(const std::string& path);
// Writes bytes exactly as given, creating parent folders.
void writeFile(const std::string& path, std::string_view bytes);
// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
bool pathExists(const std::string& path);  // lstat succeeds
// Everything below a folder, one entry per path relative to it, in path order: "d 0755" for a directory,
// "f 0644 <bytes>" for a file, "l -> <target>" for a link, with " dos=<value>" when user.DOSATTRIB is set.
// Two states compare equal only when names, kinds, permission bits and contents all agree.
std::map<std::string, std::string> folderState(const std::string& root);

// Lines joined with CR LF after each, as record files are written.
std::string crlf(std::initializer_list<std::string_view> lines);
std::string crlf(const std::vector<std::string>& lines);

}  // namespace morvane::test
