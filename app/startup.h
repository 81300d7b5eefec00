#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/context.h"
#include "platform/result.h"

namespace morvane {

// Why a start-up cannot go on, as both programs say it before they end: the drives of the Wine prefix cannot be
// read, or the data folder cannot be used.
std::string DrivesUnreadableText(const Error& error);
std::string DataFolderUnusableText(const Error& error);

// Sets WinDir and DataFolder. When the data folder has no manual, copies the shipped one there, or writes the
// one built into the program when none was shipped.
void InitFolders(const Context& ctx, const std::string& dataFolder, const std::string& shippedManual,
                 std::string_view embeddedManual = {});

// Moves BEFORE.DAT and numbered AFTER<n>.DAT files that older installations kept in the Windows directory
// into the data folder. A file is deleted from the Windows directory only after its copy is complete; a move
// that fails is reported and start-up goes on. AFTER.DAT and AFTERX.DAT (number 0) stay where they are.
void MoveRecordsFromWinDir(const Context& ctx);

// Deletes the companions (BEFORE.WINE, AFTER<n>.WINE) in the data folder whose record is gone: left by a run that
// stopped between deleting the one and the other. Quietly, since nothing is lost with them.
void RemoveOrphanCompanions(const Context& ctx);

// The first half of the exit: when a BEFORE file is pending, offers to create its AFTER file now and runs
// `createAfterFile` on Yes. The program ends afterwards whatever the answer.
void OfferPendingAfterFile(const Context& ctx, const std::function<void()>& createAfterFile);

}  // namespace morvane
