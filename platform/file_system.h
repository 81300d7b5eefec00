#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/text_file.h"

namespace morvane {

// What a tree reading calls on the calling thread now and then: directories and files read so far; false stops it.
using TreeTick = std::function<bool(long directories, long files)>;

namespace host {
struct DriveCache;
class PathResolver;
}  // namespace host

class ScanTree;

// Attribute bits, with the values Windows gives them. A listing's filter combines kHidden, kSystem and
// kDirectory; ordinary files are always listed.
enum Attribute : unsigned {
    kNormal = 0,
    kReadOnly = 1,
    kHidden = 2,
    kSystem = 4,
    kDirectory = 16,
    kLink = 0x400,  // a symbolic link (a reparse point, as Windows calls it)
};

// How the names of a Windows path are matched on disk. AnyCase looks a name that does not exist as spelled up
// in another letter case, as Wine and Windows do: right for the names the program writes itself (WIN.INI,
// the Windows directory). Exact takes every name byte for byte, as a listing gave it: the entries a record
// names, of which a namesake in another letter case is someone else's file. An Exact path also has to stay
// on its drive's file system and outside the folders its drive leaves out (an error of the kind
// OtherFileSystem otherwise).
enum class Lookup { AnyCase, Exact };

// Names as stored on disk, sorted by their ASCII upper-case form with ties in plain byte order.
struct Listing {
    std::vector<std::string> names;
    std::size_t skipped = 0;  // names a Windows path cannot express (a '\' or a character below 32)
};

// One directory read in a single pass, for the scans.
struct DirectoryContents {
    std::vector<std::string> files;           // every entry that is not a real directory, links included
    std::vector<std::string> subdirectories;  // real directories on the drive's own file system
    std::size_t skipped = 0;                  // names a Windows path cannot express
};

// The folders left out of a drive, as a tree of names below its root: one node per name, spelled exactly as on
// disk (no letter-case lookup). A node marked whole is left out with everything in it; the others only lead to
// deeper ones. The readers look names up here only in the few directories that have a node.
struct LeftOutNode {
    std::string name;
    bool whole = false;
    std::vector<LeftOutNode> children;  // sorted by name, byte by byte

    // The child of exactly that name; nullptr when there is none.
    const LeftOutNode* child(std::string_view childName) const;
    // Whether the entry of that name in this node's directory is left out.
    bool leavesOut(std::string_view childName) const
    {
        const LeftOutNode* found = child(childName);
        return found && found->whole;
    }
};

// Drive letters and the host folders they stand for, read like Wine reads a prefix: each entry "x:" of
// <prefix>/dosdevices that is a symbolic link to a directory. Without that folder C: is "/", without the folders
// of VolatileFolders().
class DriveMap {
public:
    // An error when the prefix's dosdevices folder is there but cannot be read.
    static Result<DriveMap> fromPrefix(const std::string& prefix);
    // The prefix named by WINEPREFIX, else $HOME/.wine.
    static Result<DriveMap> fromEnvironment();

    void set(char letter, std::string hostRoot);  // letter in either case; the root without a trailing '/'
    // The host folder of a drive, or nullptr when the machine has no such drive.
    const std::string* root(char letter) const;
    std::vector<char> letters() const;  // upper case, in alphabetical order

    // The Wine prefix the drives come from, as an absolute host path; empty when C: is the root file system.
    const std::string& prefix() const { return m_prefix; }
    void setPrefix(std::string prefix) { m_prefix = std::move(prefix); }

    // Leaves folders out of a drive: paths below its root, names separated by '/' and spelled as on disk ("tmp",
    // "home/alice/.cache"). No listing a scan reads names them, so nothing in them is recorded or deleted.
    void leaveOut(char letter, const std::vector<std::string>& relativePaths);
    // The drive's left-out folders, the tree's root standing for the drive root; nullptr when it has none.
    const LeftOutNode* leftOut(char letter) const;

private:
    std::map<char, std::string> m_roots;    // upper-case letter -> host folder
    std::map<char, LeftOutNode> m_leftOut;  // upper-case letter -> its left-out folders
    std::string m_prefix;
};

// The folders of the root file system where the system and running programs keep volatile data, relative to "/":
// tmp, var/tmp, var/cache, var/log, var/spool, run, proc, sys, dev, and .cache in each home folder of the password
// database (absolute ones only) and in $HOME, each once.
std::vector<std::string> VolatileFolders();

// The one door to the host file system.
//
// Every path is either a Windows path ("C:\WINDOWS\WIN.INI", "D:\APP\", "C:\*.*") on a drive of the map, or
// a host path beginning with '/' (the data folder and what lies in it). A Windows path is translated
// component by component below its drive's root: a component that does not exist with its exact name is
// looked up case-insensitively (ASCII letters); an empty, "." or ".." component is refused; a path that
// passes through a symbolic link as one of its directories does not resolve. The last component of a host
// path is looked up case-insensitively as well; the rest of a host path is used as it stands.
//
// Links are never followed: a link is listed as an ordinary file and removing it removes the link. A
// directory that is the mount point of another file system is not part of its drive, nor is a folder the drive
// map leaves out: subdirectories, readDirectory and readTree never name one, and refuse to read inside one (EXDEV).
//
// The functions are virtual so that tests can inject failures.
class FileSystem {
public:
    explicit FileSystem(DriveMap drives);
    virtual ~FileSystem();

    const DriveMap& drives() const { return m_drives; }

    // "C:\" followed by the name of the folder "windows" in C:'s root as it is spelled on disk (any letter
    // case) and "\"; "C:\WINDOWS\" when there is none.
    std::string windowsDirectory() const;

    // The host path for a Windows or host path. A last component that does not exist keeps the spelling
    // given, so the result also names a file about to be created.
    virtual Result<std::string> toHost(std::string_view path, Lookup lookup = Lookup::AnyCase) const;

    // Lists a folder by pattern: the last component may hold '*' and '?', matched case-insensitively, and
    // "*.*" matches every name. Ordinary files always; hidden and system files only when `attributes` asks
    // for them; directories only with kDirectory. "." and ".." never. Fails when the folder cannot be opened
    // or read (missing, no permission, I/O error); an empty folder or no match is an empty listing.
    virtual Result<Listing> list(std::string_view pattern, unsigned attributes) const;

    // A listing of the exact name for ordinary files returns an entry (hidden and system files count as
    // absent, and so does a path that cannot be listed).
    bool exists(std::string_view path) const;

    // The immediate subdirectories of a directory (hidden and system ones included), in listing order.
    virtual Result<Listing> subdirectories(std::string_view directory) const;

    // Files and subdirectories of one directory in one pass, both in listing order. For the scans, which walk a
    // live drive with the names its listings gave: every name is taken exactly as spelled (a directory removed
    // meanwhile is never stood in for by one of another letter case), and a directory on which another file
    // system has been mounted meanwhile is refused with EXDEV.
    virtual Result<DirectoryContents> readDirectory(std::string_view directory) const;

    // The whole tree below a directory of a drive, read for a scan with the same rules as readDirectory: each
    // directory is opened relative to its parent's open descriptor, names exactly as its parent listed them
    // and never through a link. A directory below the first that is gone or replaced meanwhile is a Vanished
    // node; one that cannot be read is a Failed node, and the reading goes on elsewhere. Fails only when the
    // first directory cannot be read. The directories are read on scanThreads() threads; `tick` (if any) runs on the
    // calling thread, often, with the numbers of directories and files read so far, so that it can let window
    // events run; when it answers false the reading stops and fails with ECANCELED.
    Result<std::unique_ptr<ScanTree>> readTree(std::string_view directory, const TreeTick& tick) const;

    // How many threads readTree uses; 0 (the default) for as many as the machine has cores, at most 8.
    void setScanThreads(unsigned threads) { m_scanThreads = threads; }
    unsigned scanThreads() const;

    // Whether a scan may read whole trees with readTree. True for this class itself; a derived class (the
    // doubles of tests that hook readDirectory) is read one readDirectory call per directory unless it says so.
    virtual bool readsTreesDirectly() const;

    // The attribute bits of a file or directory (kReadOnly, kHidden, kSystem, kDirectory, kLink). With
    // Lookup::Exact, an entry off its drive (see Lookup) is an error of the kind OtherFileSystem.
    virtual Result<unsigned> attributes(std::string_view path, Lookup lookup = Lookup::AnyCase) const;

    // Gives the owner write permission and clears the hidden and system bits of user.DOSATTRIB (a leading
    // dot stays).
    virtual Status setNormal(std::string_view path, Lookup lookup = Lookup::AnyCase);

    // A file or a link, never a directory.
    virtual Status removeFile(std::string_view path, Lookup lookup = Lookup::AnyCase);
    // An empty real directory.
    virtual Status removeDirectory(std::string_view path, Lookup lookup = Lookup::AnyCase);
    // Replaces `to`, flushed before return. Refused when both paths name the same file.
    virtual Status copyFile(std::string_view from, std::string_view to);

    enum class CreateMode { Truncate, Exclusive, Unnamed };
    // Opens a text file for writing in place (record files). Exclusive fails with EEXIST when a file of that
    // name exists. Unnamed makes a file without a name in the folder `path`, gone when it is finished or the
    // program ends, however it ends; EOPNOTSUPP (or EISDIR from an older kernel) where that is not possible.
    virtual Result<std::unique_ptr<LineWriter>> createForWriting(std::string_view path,
                                                                 CreateMode mode = CreateMode::Truncate);
    virtual Result<std::unique_ptr<LineReader>> openForReading(std::string_view path) const;

    virtual Result<std::vector<std::string>> readLines(std::string_view path) const;
    // Writes under a temporary name in the same folder, flushes, then renames into place. A failure leaves the
    // old file as it was.
    virtual Status writeLinesAtomic(std::string_view path, const std::vector<std::string>& lines);

    // The whole file, its bytes as they are (no line splitting): for files kept byte for byte, such as Wine's
    // registry files. Fails as openForReading does.
    virtual Result<std::string> readFile(std::string_view path) const;
    // Takes a file's bytes, a piece at a time.
    using ByteSink = std::function<void(std::string_view bytes)>;
    // Writes a file as writeLinesAtomic does (a temporary name, flushed, renamed into place; permissions and owner of
    // the old file kept), its bytes handed by `produce` to the sink it is given, piece by piece, in order.
    virtual Status writeFileAtomic(std::string_view path, const std::function<void(const ByteSink&)>& produce);

protected:
    // Called by readTree, on its threads, before a directory below the first is opened (for tests that change
    // the tree in mid-scan).
    virtual void beforeReadingDirectory(std::string_view name) const { (void)name; }

private:
    friend class host::PathResolver;
    friend class TreeReading;

    DriveMap m_drives;
    // Each drive root opened once, for the life of this object (see PathResolver::drive).
    std::unique_ptr<host::DriveCache> m_driveCache;
    unsigned m_scanThreads = 0;
};

// An error that says a directory or file named by a listing a moment ago is gone, or is no longer what the
// listing found (a file or a link where a directory stood, another file system mounted on it): the kinds
// NotFound, NotDirectory, ThroughLink and OtherFileSystem. A scan of a live drive takes such a directory as an empty
// one and such a file as absent; any other error (EACCES, EIO...) is a failure to read.
bool VanishedMeanwhile(const Error& error);

// The folder that holds the running executable, ending in '/'.
std::string executableDirectory();

// The data folder for an executable in `exeDir`: that folder when the user may write there and it is a portable
// copy or the build tree (no ../share/morvane/ZELK.TXT beside it); else, and always for an installed copy,
// $XDG_DATA_HOME/morvane/ (default ~/.local/share/morvane/), created when missing. Ends in '/'. An error when
// that folder cannot be created or there is no home folder to put it in.
Result<std::string> chooseDataFolder(const std::string& exeDir);

// Where the manual ships: in the installation's share folder (../share/morvane/), else beside the executable
// (the build tree, a portable copy). Empty when neither holds it.
std::string shippedManualPath(const std::string& exeDir);

}  // namespace morvane
