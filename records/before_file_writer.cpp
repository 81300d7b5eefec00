#include "records/before_file_writer.h"

#include "records/record_format.h"

namespace morvane {

void BeforeFileWriter::configHeader(std::string_view section)
{
    m_out.writeLine(SectionHeader(section));
}

void BeforeFileWriter::configEnd(std::string_view section)
{
    m_out.writeLine(EndMarker(section));
}

}  // namespace morvane
