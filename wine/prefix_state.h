#pragma once

// Reading a Wine prefix's state for its records, finding what an installation changed, and taking it back.
//
// Create BEFORE file keeps the prefix's state (ReadPrefixState) in BEFORE.WINE. Create AFTER file reads the state
// again and keeps the difference (FindPrefixChanges) in AFTER<n>.WINE. Delete program plans the way back
// (PlanPrefixRevert) against the state of now, and carries the plan out (ApplyPrefixRevert).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"
#include "wine/companion.h"
#include "wine/prefix_changes.h"
#include "wine/registry.h"

namespace morvane::wine {

// Where Wine's menu builder writes for a prefix, outside it: host folders, resolved from the environment
// ($XDG_DATA_HOME, $XDG_CONFIG_HOME, $HOME) and from the prefix's Desktop folder link.
struct DesktopLocations {
    std::string desktop;  // the folder the prefix's C:\users\<user>\Desktop links to; empty when it is no link
    std::string data;     // $XDG_DATA_HOME or ~/.local/share
    std::string menus;    // $XDG_CONFIG_HOME/menus/applications-merged or ~/.config/menus/applications-merged
};
DesktopLocations FindDesktopLocations(const FileSystem& fs, const std::string& prefix);

// The prefix's state: its three registry files as read (none when a file is missing) and every file and folder
// in the menu builder's locations, each file with its content hash.
Result<PrefixSnapshot> ReadPrefixState(const FileSystem& fs, const std::string& prefix);

// What the installation changed from `before` to `after`, Wine's own housekeeping and key times left out.
Result<PrefixChanges> FindPrefixChanges(const PrefixSnapshot& before, const PrefixSnapshot& after);

// One step of taking an installation's changes back, as a dry run lists it and Delete program carries it out.
struct RevertStep {
    enum class Kind {
        DeleteValue,   // a value the installation added, still holding what it installed
        RestoreValue,  // a value it changed or deleted, put back
        AddKey,        // a key it deleted, put back
        DeleteKey,     // a key it added that holds nothing but its own content now
        KeepValue,     // a value the user changed since (or that exists again): left, and reported
        KeepKey,       // a key it added that holds something else now, or one it deleted that is there again: left,
                       // and reported
        DeleteFile,    // a desktop entry unchanged since the installation, or an association file Wine made for it
        KeepFile,      // a desktop entry changed since: left, and reported
        RemoveFolder,  // a folder the installation added, once empty
    };
    Kind kind = Kind::DeleteValue;
    Hive hive = Hive::System;
    std::u16string key;                // registry steps
    std::u16string value;              // value steps
    std::optional<RecordedData> data;  // RestoreValue: what goes back; DeleteValue: what it holds, checked first
    std::string path;                  // file and folder steps: a host path
};

struct RevertPlan {
    std::vector<RevertStep> steps;        // in the order they are carried out
    bool refreshDesktopDatabase = false;  // a .desktop file under data/applications goes
    bool refreshMimeDatabase = false;     // a file under data/mime/packages goes
};

// Plans the way back from the state of now, three-way: `changes` says what the installation did, `now` what the
// prefix holds today. Reads nothing and changes nothing.
RevertPlan PlanPrefixRevert(const PrefixChanges& changes, const PrefixSnapshot& now);

// The safety copy of a registry file, made before its first change and removed by Delete safety backup files:
// "system.QRV", "user.QRV", "userdef.QRV" at the top of the prefix. A copy that is there already (from a run that
// was cut short) is kept: it holds the file as it was before the first change.
std::string SafetyCopyName(Hive hive);

// What carrying out a plan did: the steps that failed, each with its error; empty when all went.
struct RevertOutcome {
    std::vector<std::pair<RevertStep, Error>> failed;
};

// Carries out the plan: the safety copies, then each registry file changed in memory and written atomically in its
// folder (the caller holds the wineserver's lock), then the desktop files and folders, then the desktop caches
// refreshed where update-desktop-database and update-mime-database exist. A registry file that cannot be read,
// copied or written is left as it was, and its steps fail.
RevertOutcome ApplyPrefixRevert(FileSystem& fs, const std::string& prefix, const RevertPlan& plan);

}  // namespace morvane::wine
