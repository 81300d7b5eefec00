#include "core/helpers.h"

#include <cerrno>
#include <cmath>
#include <string>

#include "core/wine_prefix.h"
#include "records/record_format.h"
#include "wine/prefix_state.h"

namespace morvane {

bool AskYesNo(Prompts& prompts, Notice notice, std::string_view question)
{
    return prompts.messageBox(notice, YesNoText(question), Buttons::YesNo, Icon::Question, kAppTitle) == Answer::Yes;
}

std::string YesNoText(std::string_view question)
{
    std::string text(question);
    text += '?';
    return text;
}

bool DriveReadable(const FileSystem& fs, char letter)
{
    std::string pattern(1, letter);
    pattern += ":\\*.*";
    return fs.list(pattern, kNormal).ok();
}

bool DriveWritable(FileSystem& fs, char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    // A file without a name first: nothing of it can remain in the user's root, even if Morvane is killed
    // between writing and deleting it.
    if (auto unnamed = fs.createForWriting(root, FileSystem::CreateMode::Unnamed); unnamed) {
        (*unnamed)->writeLine("Junk");
        return (*unnamed)->finish().ok();
    } else if (unnamed.error().code != EOPNOTSUPP && unnamed.error().code != EISDIR) {
        return false;
    }
    // The named scratch file must never be a file of the user's: it is created exclusively, and another name is
    // tried while one exists.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            root + (attempt == 0 ? std::string("asdzxc.zxc") : "asdzxc" + std::to_string(attempt) + ".zxc");
        auto writer = fs.createForWriting(path, FileSystem::CreateMode::Exclusive);
        if (!writer) {
            if (writer.error().code == EEXIST) {
                continue;
            }
            return false;
        }
        (*writer)->writeLine("Junk");
        const Status written = (*writer)->finish();
        const Status removed = fs.removeFile(path);
        return written.ok() && removed.ok();
    }
    return false;
}

long CountFiles(const FileSystem& fs, std::string_view pattern)
{
    auto listing = fs.list(pattern, kNormal);
    return listing ? static_cast<long>(listing->names.size()) : 0;
}

void SwapStrings(std::string& a, std::string& b)
{
    a.swap(b);
}

void InitDataFolder(State& state, const FileSystem& fs, const std::string& dataFolder)
{
    state.WinDir = fs.windowsDirectory();
    state.DataFolder = dataFolder;
    if (state.DataFolder.empty() || state.DataFolder.back() != '/') {
        state.DataFolder += '/';
    }
}

long ReadLeadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (value > 2147483647.0) {
        value = 2147483647.0;
    }
    // Converted to the nearest whole number, halves to even, as the conversion to an integer does.
    const long rounded = static_cast<long>(std::nearbyint(value));
    return negative ? -rounded : rounded;
}

void SetBeforePairs(MainWindow& main, bool beforeExists)
{
    main.setPairEnabled(Pair::CreateBefore, !beforeExists);
    main.setPairEnabled(Pair::CreateAfter, beforeExists);
    main.setPairEnabled(Pair::DeleteBefore, beforeExists);
}

void UpdateBeforePairs(const Context& ctx)
{
    SetBeforePairs(ctx.main, ctx.fs.exists(ctx.state.DataFolder + std::string(kBeforeFileName)));
}

void UpdateAfterPairs(const Context& ctx)
{
    const bool any = CountFiles(ctx.fs, ctx.state.DataFolder + std::string(kAfterFilePattern)) > 0;
    ctx.main.setPairEnabled(Pair::DeleteProgram, any);
    ctx.main.setPairEnabled(Pair::DeleteAfter, any);
    ctx.main.setPairEnabled(Pair::DisplayReport, any);
}

void UpdateSafetyPair(const Context& ctx)
{
    bool any = false;
    for (const ConfigFile& file : kConfigFiles) {
        any = any || ctx.fs.exists(SafetyCopyPath({ctx.state.BootDrive, ctx.state.WinDir}, file));
    }
    // The safety copies of a Wine prefix's registry files count as well.
    if (const std::string prefix = RecordedPrefix(ctx.fs); !any && !prefix.empty()) {
        for (const wine::Hive hive : wine::kHives) {
            any = any || ctx.fs.attributes(prefix + "/" + wine::SafetyCopyName(hive), Lookup::Exact).ok();
        }
    }
    ctx.main.setPairEnabled(Pair::DeleteSafety, any);
}

void UpdateAllPairs(const Context& ctx)
{
    UpdateBeforePairs(ctx);
    UpdateAfterPairs(ctx);
    UpdateSafetyPair(ctx);
}

}  // namespace morvane
