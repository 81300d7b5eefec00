#include "tests/support/doubles.h"

#include "platform/letter_case.h"

namespace morvane::test {

void RecordingPanel::setLine(int index, std::string_view text)
{
    lines.at(index) = std::string(text);
    if (!text.empty()) {
        written.push_back(std::to_string(index) + ": " + std::string(text));
    }
}

void RecordingPanel::setAlignment(int index, Alignment a)
{
    alignment.at(index) = a;
}

void RecordingPanel::waitForOk()
{
    ++waits;
    okVisible = true;
    linesAtWait.push_back(lines);
    if (onWait) {
        onWait(*this);
    }
}

World::World() : World(std::vector<char>{'C'}) {}

World::World(std::vector<char> drives)
{
    DriveMap map;
    for (char letter : drives) {
        const std::string root = tmp / std::string(1, LowerAscii(letter));
        makeDirs(root);
        map.set(letter, root);
    }
    makeDirs(tmp / "c/WINDOWS");
    makeDirs(tmp / "data");
    fs = std::make_unique<FileSystem>(std::move(map));
    state.WinDir = fs->windowsDirectory();
    state.DataFolder = tmp / "data/";
    state.BootDrive = "C:";
}

std::string World::drive(char letter) const
{
    return tmp / std::string(1, LowerAscii(letter));
}

std::string World::host(std::string_view winPath) const
{
    std::string out = drive(winPath.at(0));
    for (char c : winPath.substr(2)) {
        out += c == '\\' ? '/' : c;
    }
    return out;
}

}  // namespace morvane::test
