#pragma once

#include <string>
#include <string_view>

namespace morvane {

enum class Buttons { Ok, OkCancel, YesNo, RetryCancel };
enum class Icon { None, Exclamation, Question, Information };
enum class Answer { Ok, Cancel, Yes, No, Retry };

// Every message box and input box the program shows, one value each. The text, title, buttons and icon are given
// where the notice is raised; whatever answers without showing the text (the terminal, the tests' and the
// benchmarks' doubles) decides by this value, so that a change of wording changes nothing downstream. A notice
// whose text only fills in paths, numbers or reasons is one value.
enum class Notice {
    // Start-up
    DrivesUnreadable,    // the drives of the Wine prefix cannot be read; the program ends
    DataFolderUnusable,  // the data folder cannot be used; the program ends
    ManualNotCopied,     // the manual could not be copied into the data folder
    RecordNotMoved,      // a record in the Windows directory could not be moved to the data folder
    RecordLeftInPlace,   // a record in the Windows directory stays there: one of its name is already in the folder
    PendingAfterFile,    // question: a BEFORE file waits for its AFTER file; create that now?

    // Help
    WebPageNotOpened,  // the maker's web page could not be opened

    // Create BEFORE file
    BeforeFileExists,                // a BEFORE file already exists; no second one until its AFTER file is made
    ProgramNameInput,                // input: the name of the program about to be installed
    ProgramNameRefused,              // the name holds a line break or another control character
    DriveLettersInput,               // input: the drives the program is installed on
    InvalidDriveLetter,              // a character of the answer is not a drive letter
    NoSuchDrive,                     // a letter of the answer names no readable drive
    DriveNotReadyToRead,             // retry or cancel: a drive to record cannot be read (BEFORE and AFTER files)
    BeforeDirectoryUnreadable,       // a directory could not be read; no BEFORE file is made
    ConfigurationFileNotCopied,      // a configuration file could not be copied into the BEFORE file
    BeforeFileNotWritten,            // the BEFORE file could not be created or written
    UnfinishedBeforeFileNotDeleted,  // the BEFORE file of a run that stopped could not be deleted
    NamesPassedOver,                 // information: names a Windows path cannot express were left out

    // Create AFTER file
    NoBeforeFile,                // there is no BEFORE file to make an AFTER file from
    BeforeFileDamaged,           // the BEFORE file is damaged; no AFTER file is made
    AfterFileReadFailed,         // the BEFORE file or a drive could not be read; no AFTER file is made
    AfterFileNotCreated,         // the AFTER file could not be created
    AfterFileNotWritten,         // the AFTER file could not be written to the end; none is kept
    AfterDirectoryUnreadable,    // a directory of the drive could not be read; the AFTER file goes on without it
    PartialAfterFileNotDeleted,  // the AFTER file of a run that was cancelled could not be deleted
    BeforeFileNotDeleted,        // the AFTER file is made, but the BEFORE file could not be deleted

    // Choosing an AFTER file (Delete program, Delete AFTER file, Display report)
    AfterFolderUnreadable,      // the data folder cannot be read for AFTER files
    NoAfterFiles,               // the data folder holds no AFTER file
    UnreadableRecordLeftOut,    // an AFTER file cannot be read; it is kept and left out of the list
    CorruptedRecordLeftOut,     // an AFTER file without a program name is left out of a dry run and kept
    CorruptedRecordDeleted,     // an AFTER file without a program name is deleted
    CorruptedRecordNotDeleted,  // that corrupted AFTER file could not be deleted
    RecordNameWithoutNumber,    // the chosen record's name does not carry the number of an AFTER file
    ChosenRecordUnreadable,     // the chosen AFTER file is gone or cannot be read

    // Display report
    ReportRecordUnreadable,  // the AFTER file to report on cannot be read or is damaged

    // Delete program
    DeletionRecordUnreadable,  // the AFTER file cannot be read or is damaged; nothing is deleted
    RecordUnusable,            // a path of the AFTER file now leads through a symbolic link; nothing is deleted
    ConfirmDeletion,           // question: delete the program?
    DriveNotReadyToWrite,      // retry or cancel: a drive of the program cannot be written to
    ProblemDeletingFile,       // question: a file of a new directory resists; give up on the directory?
    DirectoryNotRemoved,       // a new directory could not be deleted; the user should delete it by hand
    ConfirmEachFile,           // question: confirm each file added to an older directory?
    DeleteThisFile,            // question: delete this file added to an older directory?
    NotRestored,               // configuration files were not restored; the AFTER file is kept for another run
    AfterFileNotDeleted,       // the program is deleted, but its AFTER file could not be

    // Restoring a configuration file
    RestoreUnchanged,              // question: put back the original of a file unchanged since the installation?
    ConfigurationFileUnreachable,  // the file cannot be reached, or is a directory; left unchanged
    ConfigurationFileIsLink,       // the file is a symbolic link; left unchanged
    ConfigurationFileRefused,      // the file is hidden or a system file; left unchanged
    ConfigurationFileUnreadable,   // the file could not be read; left unchanged
    ConfigurationFileNotWritten,   // the file is read-only or could not be written; left unchanged
    SafetyCopyNotWritten,          // the safety copy could not be written; the file is left unchanged
    MissingLinesNotWritten,        // the file for the lines that found no place could not be written
    LinesPlacedAside,              // information: original lines that found no place are kept in their own file

    // Delete AFTER file, Delete BEFORE file, Delete safety files
    ConfirmAfterFileDeletion,    // question: delete the AFTER file of a program?
    BeforeFolderUnreadable,      // the data folder cannot be read for the BEFORE file
    NoBeforeFileToDelete,        // there is no BEFORE file to delete
    ConfirmBeforeFileDeletion,   // question: delete the BEFORE file?
    SafetyFolderUnreadable,      // a folder cannot be read for safety files
    NoSafetyFiles,               // there are no safety files to delete
    ConfirmSafetyFilesDeletion,  // question: delete the safety files, after a warning of what they are for
    FileNotDeleted,              // a record or safety file could not be deleted
    // A Wine prefix's registry and desktop entries, beside the records
    WineserverRunning,     // retry or cancel: a wineserver runs for the prefix and owns its registry files
    PrefixNotRead,         // the prefix's registry or desktop entries cannot be read; no record is made
    CompanionNotWritten,   // the companion record could not be written; no record is made
    PrefixRecordUnusable,  // the companion or a registry file cannot be used; nothing is deleted
    PrefixNotReverted,     // registry values or desktop entries could not be taken back; the AFTER file is kept
    PrefixEntriesKept,     // information: registry values and desktop entries changed since are kept
};

// Message boxes, input boxes and the beep. The Qt implementation shows real dialogs; tests use a scripted
// double that records every prompt and answers from a queue.
class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows text with the given buttons, icon and title and returns the button pressed. Closing the box from
    // its frame answers Cancel for OK/Cancel, No for Yes/No and Ok for OK.
    virtual Answer messageBox(Notice notice, std::string_view text, Buttons buttons, Icon icon,
                              std::string_view title) = 0;

    // Asks for a line of text. Returns the text typed, or an empty text when the user cancels.
    virtual std::string inputBox(Notice notice, std::string_view prompt, std::string_view title,
                                 std::string_view defaultText) = 0;

    virtual void beep() = 0;
};

}  // namespace morvane
