#include "core/wine_prefix.h"

#include <sys/stat.h>

#include "wine/registry_names.h"
#include "wine/wineserver.h"

namespace morvane {

std::string RecordedPrefix(const FileSystem& fs)
{
    const std::string& prefix = fs.drives().prefix();
    if (prefix.empty()) {
        return {};
    }
    struct stat st {};
    const std::string system = prefix + (prefix.ends_with('/') ? "" : "/") + "system.reg";
    // A link stands where Wine keeps a regular file: the prefix still has a registry, which Delete program then
    // refuses to touch; so only absence means none.
    if (::lstat(system.c_str(), &st) != 0) {
        return {};
    }
    return prefix;
}

bool WaitUntilNoWineserver(const Context& ctx, const std::string& prefix)
{
    for (;;) {
        const auto running = wine::RunningServer(prefix);
        if (running && !*running) {
            return true;
        }
        const std::string end = "Close the Windows programs of this prefix, or end them all with\n    WINEPREFIX='" +
                                prefix + "' wineserver -k\nthen choose Retry. Cancel changes nothing.";
        const std::string text =
            running
                ? "A wineserver (process " + std::to_string(**running) + ") is running for the Wine prefix " + prefix +
                      ". While it runs it owns the prefix's registry, so Morvane can neither read nor change it.\n" +
                      end
                : "Morvane cannot tell whether a wineserver is running for the Wine prefix " + prefix + ": " +
                      running.error().describe() + ".\n" + end;
        if (ctx.prompts.messageBox(Notice::WineserverRunning, text, Buttons::RetryCancel, Icon::Exclamation,
                                   "Wine is running") != Answer::Retry) {
            return false;
        }
    }
}

std::string CompanionErrorText(const Error& error)
{
    if (error.kind == ErrorKind::Damaged) {
        return "The companion " + error.path + " is damaged: " + error.reason + ".";
    }
    return "Unable to read " + error.describe() + ".";
}

std::string RegistryKeyName(wine::Hive hive, const std::u16string& key)
{
    return std::string(wine::HiveDisplayName(hive)) + (key.empty() ? "" : "\\" + wine::Utf8FromUtf16(key));
}

std::string RegistryValueName(wine::Hive hive, const std::u16string& key, const std::u16string& value)
{
    return RegistryKeyName(hive, key) + " " + (value.empty() ? "(default)" : "\"" + wine::Utf8FromUtf16(value) + "\"");
}

std::string DescribeRevertStep(const wine::RevertStep& step)
{
    using Kind = wine::RevertStep::Kind;
    switch (step.kind) {
    case Kind::DeleteValue: return "delete value " + RegistryValueName(step.hive, step.key, step.value);
    case Kind::RestoreValue: return "restore value " + RegistryValueName(step.hive, step.key, step.value);
    case Kind::AddKey: return "restore key " + RegistryKeyName(step.hive, step.key);
    case Kind::DeleteKey: return "delete key " + RegistryKeyName(step.hive, step.key);
    case Kind::KeepValue:
        return "keep value " + RegistryValueName(step.hive, step.key, step.value) + " (changed since the installation)";
    case Kind::KeepKey:
        return "keep key " + RegistryKeyName(step.hive, step.key) + " (holds more than the installation's)";
    case Kind::DeleteFile: return "delete " + step.path;
    case Kind::KeepFile: return "keep " + step.path + " (changed since the installation)";
    case Kind::RemoveFolder: return "remove folder " + step.path + " once empty";
    }
    return {};
}

}  // namespace morvane
