#include "platform/qt_printer.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace morvane {

void QtPrinter::printLines(const std::vector<std::string>& lines)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_pdfFile);
    } else if (QPrinterInfo::defaultPrinter().isNull()) {
        return;  // no printer: printing errors are ignored
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return;
    }
    painter.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QRect page = painter.viewport();
    const int lineHeight = painter.fontMetrics().lineSpacing();
    int y = lineHeight;
    for (const std::string& line : lines) {
        if (y > page.height()) {
            printer.newPage();
            y = lineHeight;
        }
        painter.drawText(0, y, QString::fromUtf8(line.data(), static_cast<int>(line.size())));
        y += lineHeight;
    }
    painter.end();
}

}  // namespace morvane
