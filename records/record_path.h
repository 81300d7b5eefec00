#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// A directory or file path as a record file stores it, without drive letter: "\APP\DATA\" names a directory,
// "\WINDOWS\NEW.DLL" a file. Made only by the two checks below, so a RecordPath always names something
// strictly below its drive's root: it begins with "\", has at least one component, and no component is empty,
// ".", ".." or holds a "/" or a character below 32 (no listing ever gives such a name). Whatever a damaged or crafted
// record says, a command that acts on a RecordPath cannot reach the root itself or outside the drive.
class RecordPath {
public:
    // A directory line: "\A\" or deeper, ending with "\". The root "\" is refused.
    static std::optional<RecordPath> directory(std::string_view line);
    // A file line: "\A" or deeper, not ending with "\".
    static std::optional<RecordPath> file(std::string_view line);

    // The line as stored.
    const std::string& text() const { return m_text; }
    bool isDirectory() const { return m_text.back() == '\\'; }
    // The Windows path on a drive: "C:" & text.
    std::string onDrive(char letter) const;
    // For a directory, the Windows path without its final "\" ("C:\APP\DATA"); for a file the same as onDrive.
    std::string entryOnDrive(char letter) const;

    bool operator==(const RecordPath&) const = default;

private:
    explicit RecordPath(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

}  // namespace morvane
