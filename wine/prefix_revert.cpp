// Taking back what an installation changed in a Wine prefix: the plan, three-way from the state before the
// installation, after it and now, and the plan carried out on the registry files and the desktop entries.
//
// The plan's rules, one per case (B: before the installation, A: after it, C: now):
//
//   what the installation did     C                        step
//   value added (A)               A                        DeleteValue
//                                 something else           KeepValue
//                                 gone                     -
//   value changed (B to A)        A                        RestoreValue B
//                                 B                        -
//                                 something else, gone     KeepValue
//   value deleted (B)             gone                     RestoreValue B (AddKey first when its key is gone)
//                                 B                        -
//                                 something else           KeepValue
//   key deleted                   gone                     AddKey, then its values and subkeys as deleted ones
//                                 there, holding all of B  -
//                                 there, otherwise         KeepKey, and nothing below it comes back
//   key added                     nothing left once the    DeleteKey, deepest first
//                                 values above are gone
//                                 something else left      KeepKey
//                                 gone                     -
//
// Names compare as Wine compares them (NamesEqual). A key that existed before the installation (one holding a value
// it changed or deleted, or one it deleted) is never deleted, and nothing outside the recorded changes is touched
// except Wine's own records of the desktop entries that go (below).
//
// Wine's menu builder keeps its own records in user.reg: Software\Wine\MenuFiles has a value for each menu file
// it wrote (named after the file, as "\\?\unix\home\...\x.desktop", or a Unix path in older versions; its data
// is the .lnk), and Software\Wine\FileOpenAssociations a subkey for each file association it built, at a Wine
// session after the association appeared. These are not the installation's changes and may have been written
// after the AFTER record, so they are found in the state of now.
//
// Desktop entries: one unchanged since (the same hash now) goes, one changed since is kept, one gone needs nothing.
// Their MenuFiles values go with them, a kept one's too: Wine's next session would otherwise delete the changed file
// once it finds the .lnk gone. For an extension the installation added (Software\Classes\.ext in system.reg or
// user.reg) that no longer stays once the plan is carried out, the files Wine built for it later
// (DATA/mime/packages/x-wine-extension-ext.xml, DATA/applications/wine-extension-ext.desktop) and its
// FileOpenAssociations subkey go. The folders the installation added go deepest first, each only when empty.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wine/prefix_state.h"
#include "wine/registry_names.h"
#include "wine/registry_reader.h"
#include "wine/registry_writer.h"

extern char** environ;

namespace morvane::wine {

namespace {

using ChangeKind = RegistryChange::Kind;
using StepKind = RevertStep::Kind;

constexpr std::u16string_view kMenuFiles = u"Software\\Wine\\MenuFiles";
constexpr std::u16string_view kAssociations = u"Software\\Wine\\FileOpenAssociations";
constexpr std::u16string_view kClasses = u"Software\\Classes";

// The registry file of a hive. (HiveFileName says the same; it belongs to the record side.)
const char* RegistryFileOf(Hive hive)
{
    switch (hive) {
    case Hive::System: return "system.reg";
    case Hive::User: return "user.reg";
    case Hive::UserDefault: return "userdef.reg";
    }
    return "";
}

std::size_t IndexOf(Hive hive)
{
    return static_cast<std::size_t>(hive);
}

// How deep a key lies: the number of its parts.
std::size_t Depth(std::u16string_view path)
{
    return path.empty() ? 0 : 1 + static_cast<std::size_t>(std::count(path.begin(), path.end(), u'\\'));
}

// Whether `path` lies strictly below `ancestor`. A backslash folds to itself, so whole paths compare part by part.
bool IsBelow(std::u16string_view path, std::u16string_view ancestor)
{
    if (ancestor.empty()) {
        return !path.empty();
    }
    return path.size() > ancestor.size() && path[ancestor.size()] == u'\\' &&
           NamesEqual(path.substr(0, ancestor.size()), ancestor);
}

bool IsAtOrBelow(std::u16string_view path, std::u16string_view ancestor)
{
    return NamesEqual(path, ancestor) || IsBelow(path, ancestor);
}

std::u16string Child(std::u16string_view parent, std::u16string_view name)
{
    std::u16string path(parent);
    if (!path.empty()) {
        path.push_back(u'\\');
    }
    path += name;
    return path;
}

struct NameLess {
    bool operator()(const std::u16string& a, const std::u16string& b) const { return CompareNames(a, b) < 0; }
};
using KeySet = std::set<std::u16string, NameLess>;

struct ValueLess {
    bool operator()(const std::pair<std::u16string, std::u16string>& a,
                    const std::pair<std::u16string, std::u16string>& b) const
    {
        const int keys = CompareNames(a.first, b.first);
        return keys != 0 ? keys < 0 : CompareNames(a.second, b.second) < 0;
    }
};
using ValueSet = std::set<std::pair<std::u16string, std::u16string>, ValueLess>;

bool Holds(const std::optional<RegistryValue>& value, const RecordedData& data)
{
    return value && value->type == data.type && value->data == data.data;
}

RecordedData DataOf(const RegistryValue& value)
{
    return RecordedData{value.type, value.data};
}

RevertStep RegistryStep(StepKind kind, Hive hive, std::u16string key, std::u16string value = {},
                        std::optional<RecordedData> data = {})
{
    RevertStep step;
    step.kind = kind;
    step.hive = hive;
    step.key = std::move(key);
    step.value = std::move(value);
    step.data = std::move(data);
    return step;
}

RevertStep PathStep(StepKind kind, std::string path)
{
    RevertStep step;
    step.kind = kind;
    step.path = std::move(path);
    return step;
}

// Whether carrying out a step changes a registry file (the Keep steps only report).
bool ChangesRegistry(StepKind kind)
{
    return kind == StepKind::DeleteValue || kind == StepKind::RestoreValue || kind == StepKind::AddKey ||
           kind == StepKind::DeleteKey;
}

// The host path a menu builder's record names: "\\?\unix\home\a\x.desktop" (Wine 6 and later) or "/home/a/x.desktop"
// (older versions); empty for any other name.
std::string HostPathOfWineName(std::u16string_view name)
{
    static constexpr std::u16string_view kUnixForms[] = {u"\\\\?\\unix\\", u"\\??\\unix\\"};
    std::u16string_view rest;
    for (const std::u16string_view form : kUnixForms) {
        if (name.size() > form.size() && NamesEqual(name.substr(0, form.size()), form)) {
            rest = name.substr(form.size() - 1);  // from the backslash that stands for the root
        }
    }
    if (rest.empty()) {
        if (name.empty() || name.front() != u'/') {
            return {};
        }
        rest = name;
    }
    std::u16string path;
    for (const char16_t unit : rest) {
        const char16_t c = unit == u'\\' ? u'/' : unit;
        if (c == u'/' && !path.empty() && path.back() == u'/') {
            continue;
        }
        path.push_back(c);
    }
    return Utf8FromUtf16(path);
}

// The extension named by a key of associations below Software\Classes (".Ext"), folded to lower case as Wine's menu
// builder folds it for its file names ("ext"); empty for any other key.
std::u16string ExtensionOfClassKey(std::u16string_view key)
{
    if (!IsBelow(key, kClasses)) {
        return {};
    }
    const std::u16string_view name = key.substr(kClasses.size() + 1);
    if (name.size() < 2 || name.front() != u'.' || name.find(u'\\') != name.npos) {
        return {};
    }
    std::u16string ext;
    for (const char16_t unit : name.substr(1)) {
        ext.push_back(FoldCase(unit));
    }
    return ext;
}

std::string_view FileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == path.npos ? path : path.substr(slash + 1);
}

std::string_view FolderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == path.npos ? std::string_view() : path.substr(0, slash);
}

// The folder update-desktop-database refreshes for a file: DATA/applications when the file is one of the .desktop
// files Wine writes there (applications/wine/... for the menu, applications/wine-extension-*.desktop and
// wine-protocol-*.desktop for associations); empty otherwise.
std::string DesktopDatabaseFolder(std::string_view path)
{
    constexpr std::string_view kApplications = "/applications";
    if (!path.ends_with(".desktop")) {
        return {};
    }
    const std::size_t menu = path.find("/applications/wine/");
    if (menu != path.npos) {
        return std::string(path.substr(0, menu + kApplications.size()));
    }
    const std::string_view folder = FolderOf(path);
    const std::string_view name = FileNameOf(path);
    if (folder.ends_with(kApplications) && name.starts_with("wine-")) {
        return std::string(folder);
    }
    return {};
}

// The folder update-mime-database refreshes for a file: DATA/mime when the file lies in DATA/mime/packages.
std::string MimeDatabaseFolder(std::string_view path)
{
    constexpr std::string_view kPackages = "/mime/packages";
    const std::string_view folder = FolderOf(path);
    if (!folder.ends_with(kPackages)) {
        return {};
    }
    return std::string(folder.substr(0, folder.size() - std::string_view("/packages").size()));
}

// One hive's part of the plan.
struct HivePlan {
    Hive hive = Hive::System;
    std::optional<Registry> now;  // nullopt when the file is missing now or cannot be read
    std::vector<const RegistryChange*> changes;

    std::vector<RevertStep> valueSteps;    // values and deleted keys, in the order of the changes
    std::vector<RevertStep> housekeeping;  // Wine's own records of the desktop entries that go
    std::vector<RevertStep> keySteps;      // keys added, deepest first

    KeySet restoredKeys;      // keys an AddKey puts back
    ValueSet deletedValues;   // values a DeleteValue takes away
    KeySet deletedKeys;       // keys a DeleteKey takes away (with the housekeeping's)
    KeySet housekeepingKeys;  // keys the housekeeping takes away
    KeySet existedBefore;     // keys known to have been there before the installation
};

// Which recorded changes the housekeeping decides on: the menu builder's records of the installation's desktop
// entries, and its associations for the extensions the installation added.
struct Housekeeping {
    std::set<std::string> entryPaths;        // every desktop entry the installation added
    std::vector<std::u16string> extensions;  // added extensions, lower case, without the dot

    bool owns(const RegistryChange& change) const
    {
        if (change.hive != Hive::User) {
            return false;
        }
        if (NamesEqual(change.key, kMenuFiles) &&
            (change.kind == ChangeKind::ValueAdded || change.kind == ChangeKind::ValueChanged ||
             change.kind == ChangeKind::ValueDeleted)) {
            return entryPaths.contains(HostPathOfWineName(change.value));
        }
        for (const std::u16string& ext : extensions) {
            if (IsAtOrBelow(change.key, Child(kAssociations, u"." + ext))) {
                return true;
            }
        }
        return false;
    }
};

bool KeyIsThere(const HivePlan& plan, std::u16string_view key)
{
    if (plan.now && plan.now->findKey(key)) {
        return true;
    }
    for (const std::u16string& restored : plan.restoredKeys) {
        if (IsAtOrBelow(restored, key)) {
            return true;  // AddKey makes the parents too
        }
    }
    return false;
}

// Puts a key back before a value goes into it, once.
void EnsureKey(HivePlan& plan, const std::u16string& key, const KeySet& deletedByInstallation)
{
    const bool missing =
        plan.now ? !KeyIsThere(plan, key) : deletedByInstallation.contains(key) && !plan.restoredKeys.contains(key);
    if (missing) {
        plan.valueSteps.push_back(RegistryStep(StepKind::AddKey, plan.hive, key));
        plan.restoredKeys.insert(key);
    }
}

// Whether everything the installation deleted below `root` (which is there now) is there again as it was.
bool SubtreeIsBack(const HivePlan& plan, std::u16string_view root)
{
    for (const RegistryChange* change : plan.changes) {
        if (!IsAtOrBelow(change->key, root)) {
            continue;
        }
        if (change->kind == ChangeKind::KeyDeleted && !plan.now->findKey(change->key)) {
            return false;
        }
        if (change->kind == ChangeKind::ValueDeleted && change->before &&
            !Holds(plan.now->findValue(change->key, change->value), *change->before)) {
            return false;
        }
    }
    return true;
}

// Values changed, added and deleted, and keys deleted: in the order of the changes.
void PlanValues(HivePlan& plan, const Housekeeping& housekeeping)
{
    KeySet deletedByInstallation;
    for (const RegistryChange* change : plan.changes) {
        if (change->kind == ChangeKind::KeyDeleted) {
            deletedByInstallation.insert(change->key);
        }
        if (change->kind == ChangeKind::KeyDeleted || change->kind == ChangeKind::ValueDeleted ||
            change->kind == ChangeKind::ValueChanged) {
            // The key, and each of its parents, was there before the installation.
            std::u16string_view key = change->key;
            for (;;) {
                plan.existedBefore.insert(std::u16string(key));
                const std::size_t slash = key.rfind(u'\\');
                if (slash == key.npos) {
                    break;
                }
                key = key.substr(0, slash);
            }
        }
    }

    // A deleted key that is there again now: left with all below it, reported unless it holds what it held.
    std::vector<std::u16string> leftKeys;
    KeySet reportedLeft;
    if (plan.now) {
        for (const RegistryChange* change : plan.changes) {
            if (change->kind != ChangeKind::KeyDeleted || !plan.now->findKey(change->key)) {
                continue;
            }
            const bool belowAnother =
                std::any_of(deletedByInstallation.begin(), deletedByInstallation.end(),
                            [&](const std::u16string& other) { return IsBelow(change->key, other); });
            if (belowAnother) {
                continue;  // decided with the topmost deleted key
            }
            leftKeys.push_back(change->key);
            if (!SubtreeIsBack(plan, change->key)) {
                reportedLeft.insert(change->key);
            }
        }
    }
    auto isLeft = [&](std::u16string_view key) {
        return std::any_of(leftKeys.begin(), leftKeys.end(),
                           [&](const std::u16string& left) { return IsAtOrBelow(key, left); });
    };

    for (const RegistryChange* change : plan.changes) {
        if (housekeeping.owns(*change)) {
            continue;
        }
        const std::optional<RegistryValue> now =
            plan.now ? plan.now->findValue(change->key, change->value) : std::optional<RegistryValue>();
        switch (change->kind) {
        case ChangeKind::KeyAdded: break;  // PlanAddedKeys
        case ChangeKind::KeyDeleted:
            if (reportedLeft.erase(change->key) > 0) {
                plan.valueSteps.push_back(RegistryStep(StepKind::KeepKey, plan.hive, change->key));
            } else if (!isLeft(change->key)) {
                EnsureKey(plan, change->key, deletedByInstallation);
            }
            break;
        case ChangeKind::ValueDeleted:
            if (!change->before || isLeft(change->key)) {
                break;
            }
            if (!plan.now || !now) {
                EnsureKey(plan, change->key, deletedByInstallation);
                plan.valueSteps.push_back(
                    RegistryStep(StepKind::RestoreValue, plan.hive, change->key, change->value, change->before));
            } else if (!Holds(now, *change->before)) {
                plan.valueSteps.push_back(RegistryStep(StepKind::KeepValue, plan.hive, change->key, change->value));
            }
            break;
        case ChangeKind::ValueChanged:
            if (!change->before || !change->after) {
                break;
            }
            if (!plan.now || Holds(now, *change->after)) {
                plan.valueSteps.push_back(
                    RegistryStep(StepKind::RestoreValue, plan.hive, change->key, change->value, change->before));
            } else if (!Holds(now, *change->before)) {
                plan.valueSteps.push_back(RegistryStep(StepKind::KeepValue, plan.hive, change->key, change->value));
            }
            break;
        case ChangeKind::ValueAdded:
            if (!change->after || (plan.now && !now)) {
                break;
            }
            if (!plan.now || Holds(now, *change->after)) {
                plan.valueSteps.push_back(
                    RegistryStep(StepKind::DeleteValue, plan.hive, change->key, change->value, change->after));
                plan.deletedValues.emplace(change->key, change->value);
            } else {
                plan.valueSteps.push_back(RegistryStep(StepKind::KeepValue, plan.hive, change->key, change->value));
            }
            break;
        }
    }
}

// Keys added, deepest first: each goes once nothing but the installation's own content is left in it.
void PlanAddedKeys(HivePlan& plan, const Housekeeping& housekeeping)
{
    plan.keySteps.clear();
    plan.deletedKeys = plan.housekeepingKeys;
    std::vector<const RegistryChange*> added;
    for (const RegistryChange* change : plan.changes) {
        if (change->kind == ChangeKind::KeyAdded && !housekeeping.owns(*change)) {
            added.push_back(change);
        }
    }
    std::stable_sort(added.begin(), added.end(),
                     [](const RegistryChange* a, const RegistryChange* b) { return Depth(a->key) > Depth(b->key); });
    KeySet keptAdded;
    for (const RegistryChange* change : added) {
        const std::u16string& key = change->key;
        if (key.empty() || plan.existedBefore.contains(key) || plan.deletedKeys.contains(key) ||
            keptAdded.contains(key)) {
            continue;
        }
        if (!plan.now) {
            // Nothing to compare with: planned as if nothing changed since, and checked again when carried out.
            plan.keySteps.push_back(RegistryStep(StepKind::DeleteKey, plan.hive, key));
            plan.deletedKeys.insert(key);
            continue;
        }
        if (!plan.now->findKey(key)) {
            continue;
        }
        bool holdsOther = false;
        bool holdsAny = false;
        if (auto values = plan.now->values(key); values.ok()) {
            for (const RegistryValue& value : *values) {
                if (!plan.deletedValues.contains({key, value.name})) {
                    holdsOther = holdsAny = true;
                }
            }
        }
        if (auto subkeys = plan.now->subkeys(key); subkeys.ok()) {
            for (const std::u16string& name : *subkeys) {
                const std::u16string path = Child(key, name);
                if (plan.deletedKeys.contains(path)) {
                    continue;
                }
                holdsAny = true;
                if (!keptAdded.contains(path)) {
                    holdsOther = true;
                }
            }
        }
        if (!holdsAny) {
            plan.keySteps.push_back(RegistryStep(StepKind::DeleteKey, plan.hive, key));
            plan.deletedKeys.insert(key);
        } else {
            keptAdded.insert(key);
            if (holdsOther) {
                // A key that holds only added keys kept for what they hold is not reported again.
                plan.keySteps.push_back(RegistryStep(StepKind::KeepKey, plan.hive, key));
            }
        }
    }
}

// Whether an extension stays associated once the plan is carried out: its key below Software\Classes is there in
// system.reg or user.reg and not deleted. Unknown (a file that cannot be read) counts as associated.
bool StaysAssociated(const HivePlan& system, const HivePlan& user, std::u16string_view ext)
{
    const std::u16string key = Child(kClasses, u"." + std::u16string(ext));
    for (const HivePlan* plan : {&system, &user}) {
        if (!plan->now) {
            return true;
        }
        if (plan->now->findKey(key) && !plan->deletedKeys.contains(key)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string SafetyCopyName(Hive hive)
{
    switch (hive) {
    case Hive::System: return "system.QRV";
    case Hive::User: return "user.QRV";
    case Hive::UserDefault: return "userdef.QRV";
    }
    return {};
}

RevertPlan PlanPrefixRevert(const PrefixChanges& changes, const PrefixSnapshot& now)
{
    HivePlan hives[3];
    for (const Hive hive : kHives) {
        HivePlan& plan = hives[IndexOf(hive)];
        plan.hive = hive;
        if (const auto& text = now.hives[IndexOf(hive)]) {
            auto parsed = ParseRegistry(*text, RegistryFileOf(hive));
            if (parsed.ok()) {
                plan.now = std::move(*parsed);
            }
        }
    }
    for (const RegistryChange& change : changes.registry) {
        hives[IndexOf(change.hive)].changes.push_back(&change);
    }

    Housekeeping housekeeping;
    for (const DesktopEntry& entry : changes.desktop) {
        housekeeping.entryPaths.insert(entry.path);
    }
    for (const RegistryChange& change : changes.registry) {
        if (change.kind != ChangeKind::KeyAdded || change.hive == Hive::UserDefault) {
            continue;
        }
        const std::u16string ext = ExtensionOfClassKey(change.key);
        if (!ext.empty() && std::find(housekeeping.extensions.begin(), housekeeping.extensions.end(), ext) ==
                                housekeeping.extensions.end()) {
            housekeeping.extensions.push_back(ext);
        }
    }

    for (HivePlan& plan : hives) {
        PlanValues(plan, housekeeping);
        PlanAddedKeys(plan, housekeeping);
    }

    // The desktop entries the installation added: gone with their contents unchanged, kept when changed since.
    RevertPlan result;
    std::map<std::string, const DesktopEntry*> entriesNow;
    for (const DesktopEntry& entry : now.desktop) {
        entriesNow.emplace(entry.path, &entry);
    }
    std::vector<RevertStep> fileSteps;
    for (const DesktopEntry& entry : changes.desktop) {
        const auto found = entriesNow.find(entry.path);
        if (found == entriesNow.end()) {
            continue;
        }
        fileSteps.push_back(
            PathStep(found->second->hash == entry.hash ? StepKind::DeleteFile : StepKind::KeepFile, entry.path));
    }

    HivePlan& user = hives[IndexOf(Hive::User)];
    if (user.now) {
        // Wine's record of each menu file goes with the installation's entries, also of one kept because it was
        // changed: Wine's next session would delete that file once it finds the .lnk gone.
        if (auto values = user.now->values(kMenuFiles); values.ok()) {
            for (const RegistryValue& value : *values) {
                if (housekeeping.entryPaths.contains(HostPathOfWineName(value.name))) {
                    user.housekeeping.push_back(RegistryStep(StepKind::DeleteValue, Hive::User,
                                                             std::u16string(kMenuFiles), value.name, DataOf(value)));
                    user.deletedValues.emplace(std::u16string(kMenuFiles), value.name);
                }
            }
        }
    }
    // The associations Wine built for an added extension that goes: its files and its record.
    for (const std::u16string& ext : housekeeping.extensions) {
        if (StaysAssociated(hives[IndexOf(Hive::System)], user, ext)) {
            continue;
        }
        const std::string name = Utf8FromUtf16(ext);
        const std::string mimeFile = "/mime/packages/x-wine-extension-" + name + ".xml";
        const std::string desktopFile = "/applications/wine-extension-" + name + ".desktop";
        for (const DesktopEntry& entry : now.desktop) {
            if ((entry.path.ends_with(mimeFile) || entry.path.ends_with(desktopFile)) &&
                !housekeeping.entryPaths.contains(entry.path)) {
                fileSteps.push_back(PathStep(StepKind::DeleteFile, entry.path));
            }
        }
        const std::u16string key = Child(kAssociations, u"." + ext);
        const auto found = user.now->findKey(key);
        if (!found) {
            continue;
        }
        const std::u16string stored = Child(kAssociations, found->name);
        if (auto values = user.now->values(stored); values.ok()) {
            for (const RegistryValue& value : *values) {
                user.housekeeping.push_back(
                    RegistryStep(StepKind::DeleteValue, Hive::User, stored, value.name, DataOf(value)));
                user.deletedValues.emplace(stored, value.name);
            }
        }
        const auto subkeys = user.now->subkeys(stored);
        if (subkeys.ok() && subkeys->empty()) {
            user.housekeeping.push_back(RegistryStep(StepKind::DeleteKey, Hive::User, stored));
            user.housekeepingKeys.insert(stored);
        } else {
            user.housekeeping.push_back(RegistryStep(StepKind::KeepKey, Hive::User, stored));
        }
    }
    if (!user.housekeeping.empty()) {
        // Again, now that keys added above Wine's records may be left empty by the housekeeping.
        PlanAddedKeys(user, housekeeping);
    }

    for (HivePlan& plan : hives) {
        for (auto* steps : {&plan.valueSteps, &plan.housekeeping, &plan.keySteps}) {
            result.steps.insert(result.steps.end(), steps->begin(), steps->end());
        }
    }
    for (RevertStep& step : fileSteps) {
        if (step.kind == StepKind::DeleteFile) {
            result.refreshDesktopDatabase |= !DesktopDatabaseFolder(step.path).empty();
            result.refreshMimeDatabase |= !MimeDatabaseFolder(step.path).empty();
        }
        result.steps.push_back(std::move(step));
    }

    // The folders the installation added, deepest first, where they are still there.
    std::set<std::string> foldersNow(now.desktopFolders.begin(), now.desktopFolders.end());
    std::vector<std::string> folders;
    for (const std::string& folder : changes.desktopFolders) {
        if (foldersNow.contains(folder) && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    for (std::string& folder : folders) {
        result.steps.push_back(PathStep(StepKind::RemoveFolder, std::move(folder)));
    }
    return result;
}

namespace {

Error StepError(const std::string& file, const RevertStep& step, std::string reason, ErrorKind kind)
{
    std::string where = Utf8FromUtf16(step.key);
    if (step.kind == StepKind::DeleteValue || step.kind == StepKind::RestoreValue) {
        where += step.value.empty() ? std::string(" @") : " \"" + Utf8FromUtf16(step.value) + '"';
    }
    return Error{file, 0, where + ": " + reason, kind};
}

// Carries out one step on the registry in memory; `changed` is set when it changed something. A step whose work is
// done already (a value gone, a key there) does nothing and succeeds, so that a plan carried out again finishes.
Status ApplyRegistryStep(Registry& registry, const RevertStep& step, const std::string& file, bool& changed)
{
    switch (step.kind) {
    case StepKind::DeleteValue: {
        const auto now = registry.findValue(step.key, step.value);
        if (!now) {
            return {};
        }
        if (step.data && !Holds(now, *step.data)) {
            return StepError(file, step, "the value was changed since the plan was made; it is left as it is",
                             ErrorKind::Other);
        }
        if (Status s = registry.deleteValue(step.key, step.value); !s) {
            return StepError(file, step, s.error().reason, s.error().kind);
        }
        changed = true;
        return {};
    }
    case StepKind::RestoreValue: {
        if (!step.data) {
            return StepError(file, step, "no data to put back", ErrorKind::Invalid);
        }
        if (Holds(registry.findValue(step.key, step.value), *step.data)) {
            return {};
        }
        if (Status s = registry.setValue(step.key, RegistryValue{step.value, step.data->type, step.data->data}); !s) {
            return StepError(file, step, s.error().reason, s.error().kind);
        }
        changed = true;
        return {};
    }
    case StepKind::AddKey:
        if (registry.findKey(step.key)) {
            return {};
        }
        if (Status s = registry.addKey(step.key); !s) {
            return StepError(file, step, s.error().reason, s.error().kind);
        }
        changed = true;
        return {};
    case StepKind::DeleteKey: {
        if (!registry.findKey(step.key)) {
            return {};
        }
        const auto values = registry.values(step.key);
        const auto subkeys = registry.subkeys(step.key);
        if (!values.ok() || !subkeys.ok() || !values->empty() || !subkeys->empty()) {
            return StepError(file, step, "the key holds values or subkeys that are not the installation's; it is left",
                             ErrorKind::Other);
        }
        if (Status s = registry.deleteKey(step.key); !s) {
            return StepError(file, step, s.error().reason, s.error().kind);
        }
        changed = true;
        return {};
    }
    default: return {};
    }
}

// Carries out one registry file's steps: read, changed in memory, the safety copy made unless there is one, then
// written under a temporary name and renamed into place. Nothing is written when nothing changes.
void ApplyRegistryFile(FileSystem& fs, const std::string& prefix, Hive hive, const std::vector<RevertStep>& steps,
                       RevertOutcome& outcome)
{
    const std::string file = prefix + "/" + RegistryFileOf(hive);
    auto failAll = [&](const std::vector<const RevertStep*>& which, const Error& error) {
        for (const RevertStep* step : which) {
            outcome.failed.emplace_back(*step, error);
        }
    };
    std::vector<const RevertStep*> all;
    for (const RevertStep& step : steps) {
        all.push_back(&step);
    }

    const auto attributes = fs.attributes(file, Lookup::Exact);
    if (!attributes.ok()) {
        return failAll(all, attributes.error());
    }
    if (*attributes & kLink) {
        // Wine itself rewrites such a file in place; replacing the link with a file would cut it from its target.
        return failAll(all, errorWithReason(file, ELOOP, "the registry file is a symbolic link; it is left as it is"));
    }
    if (*attributes & kDirectory) {
        return failAll(all, errorFromErrno(file, EISDIR));
    }
    auto text = fs.readFile(file);
    if (!text.ok()) {
        return failAll(all, text.error());
    }
    auto registry = ParseRegistry(*text, file);
    if (!registry.ok()) {
        return failAll(all, registry.error());
    }

    bool changed = false;
    std::vector<const RevertStep*> done;
    for (const RevertStep& step : steps) {
        if (Status s = ApplyRegistryStep(*registry, step, file, changed); !s) {
            outcome.failed.emplace_back(step, s.error());
        } else {
            done.push_back(&step);
        }
    }
    if (!changed) {
        return;
    }

    // The file as it was before the first change; a copy left by a run that was cut short is that one already.
    const std::string copy = prefix + "/" + SafetyCopyName(hive);
    const auto copyAttributes = fs.attributes(copy, Lookup::Exact);
    if (!copyAttributes.ok()) {
        if (copyAttributes.error().kind != ErrorKind::NotFound) {
            return failAll(done, copyAttributes.error());
        }
        const Status copied =
            fs.writeFileAtomic(copy, [&](const FileSystem::ByteSink& sink) { sink(std::string_view(*text)); });
        if (!copied) {
            return failAll(done, copied.error());
        }
    }
    if (Status written = WriteRegistryFile(fs, file, *registry); !written) {
        failAll(done, written.error());
    }
}

// Runs a program found in PATH with one argument and waits for it; a program that is missing or fails changes
// nothing for the caller.
void RunRefresh(const char* program, const std::string& argument)
{
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return;
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string name(program);
    std::string arg(argument);
    char* argv[] = {name.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

RevertOutcome ApplyPrefixRevert(FileSystem& fs, const std::string& prefix, const RevertPlan& plan)
{
    RevertOutcome outcome;
    for (const Hive hive : kHives) {
        std::vector<RevertStep> steps;
        for (const RevertStep& step : plan.steps) {
            if (step.hive == hive && ChangesRegistry(step.kind)) {
                steps.push_back(step);
            }
        }
        if (!steps.empty()) {
            ApplyRegistryFile(fs, prefix, hive, steps, outcome);
        }
    }

    std::set<std::string> desktopFolders;
    std::set<std::string> mimeFolders;
    for (const RevertStep& step : plan.steps) {
        if (step.kind != StepKind::DeleteFile) {
            continue;
        }
        const Status removed = fs.removeFile(step.path, Lookup::Exact);
        if (!removed && !IsAbsent(removed.error())) {
            outcome.failed.emplace_back(step, removed.error());
            continue;
        }
        if (std::string folder = DesktopDatabaseFolder(step.path); !folder.empty()) {
            desktopFolders.insert(std::move(folder));
        }
        if (std::string folder = MimeDatabaseFolder(step.path); !folder.empty()) {
            mimeFolders.insert(std::move(folder));
        }
    }
    for (const RevertStep& step : plan.steps) {
        if (step.kind != StepKind::RemoveFolder) {
            continue;
        }
        const Status removed = fs.removeDirectory(step.path, Lookup::Exact);
        // A folder that holds something else now stays, as planned.
        if (!removed && !IsAbsent(removed.error()) && removed.error().code != ENOTEMPTY &&
            removed.error().code != EEXIST) {
            outcome.failed.emplace_back(step, removed.error());
        }
    }

    if (plan.refreshDesktopDatabase) {
        for (const std::string& folder : desktopFolders) {
            RunRefresh("update-desktop-database", folder);
        }
    }
    if (plan.refreshMimeDatabase) {
        for (const std::string& folder : mimeFolders) {
            RunRefresh("update-mime-database", folder);
        }
    }
    return outcome;
}

}  // namespace morvane::wine
