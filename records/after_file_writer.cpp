#include "records/after_file_writer.h"

#include "records/record_format.h"

namespace morvane {

void AfterFileWriter::configHeader(std::string_view section)
{
    m_out.writeLine(SectionHeader(section));
}

void AfterFileWriter::unchangedSection(std::string_view section)
{
    m_out.writeLine(kNoChange);
    m_out.writeLine(EndMarker(section));
}

void AfterFileWriter::changedSection(std::string_view section, const std::vector<std::string>& oldLines,
                                     const std::vector<std::string>& newLines)
{
    for (const std::string& line : oldLines) {
        m_out.writeLine(line);
    }
    m_out.writeLine(NewMarker(section));
    for (const std::string& line : newLines) {
        m_out.writeLine(line);
    }
    m_out.writeLine(EndMarker(section));
}

}  // namespace morvane
