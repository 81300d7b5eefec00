#pragma once

#include <QString>

#include "platform/printer.h"

namespace morvane {

// Prints on the default printer, or into a PDF file when one is named (used by tests to read the text back).
class QtPrinter : public Printer {
public:
    QtPrinter() = default;
    explicit QtPrinter(QString pdfFile) : m_pdfFile(std::move(pdfFile)) {}
    void printLines(const std::vector<std::string>& lines) override;

private:
    QString m_pdfFile;
};

}  // namespace morvane
