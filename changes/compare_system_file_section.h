#pragma once

#include <string_view>

#include "core/context.h"
#include "platform/result.h"
#include "platform/text_file.h"
#include "records/after_file_writer.h"

namespace morvane {

// Compares one configuration file with its copy in BEFORE.DAT and appends its section to the AFTER file
// (AfterFileWriter's configHeader, then unchangedSection or changedSection):
//
//   "*" & name & "*"
//   "~NO CHANGE~"                                       when unchanged, otherwise
//   the copy's lines, "*NEW " & name & "*", the file's lines now
//   "*END " & name & "*"
//
// Every line is stored, compared and written normalised (NormalizeLine). The copy runs from the reader's
// position to the first line that reads "*END " & name & "*" once its spaces are trimmed; that line is
// consumed, so the reader is left at the next section's start marker. The file on disk is looked for as an
// ordinary file: a hidden or system file counts as missing, and a missing file has no lines.
//
// Returns SectionChanged: true for a changed body, false for "~NO CHANGE~". Fails when the copy has no end marker
// (a damaged BEFORE file: an error of the kind Damaged) or when BEFORE.DAT, the file or its folder cannot be
// read; errors writing the AFTER file are kept by the LineWriter behind `after` and returned by its finish().
Result<bool> CompareSystemFileSection(const Context& ctx, LineReader& before, AfterFileWriter& after,
                                      std::string_view path, std::string_view name);

}  // namespace morvane
