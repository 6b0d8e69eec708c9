#pragma once

#include "TestSupport.h"

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

namespace tramelle::test {

// A main window whose printer dialog chooses a PDF file (or is cancelled).
class PdfMainWindow : public RecordingMainWindowServices
{
public:
    QString Pdf;
    bool Answer = true;
    int Dialogs = 0;
    QStringList ProposedFiles;

    bool MaybeShowPrintDlg(QPrinter* printer, const QString& proposedFile) override
    {
        ++Dialogs;
        ProposedFiles << proposedFile;
        if (!Answer)
            return false;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(Pdf);
        return true;
    }
};

struct PdfWord
{
    QString text;
    QRectF box; // points
};

struct PdfPage
{
    QSizeF size; // points
    QList<PdfWord> words;

    // The first word equal to the text, or an empty one.
    PdfWord Find(const QString& text) const
    {
        for (const PdfWord& w : words)
            if (w.text == text)
                return w;
        return {};
    }
    bool Has(const QString& text) const { return !Find(text).text.isEmpty(); }
};

// The pages of a PDF with every word and its box, as poppler's pdftotext reads them.
inline QList<PdfPage> ReadPdf(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QList<PdfPage> pages;
    static const QRegularExpression token(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<word xMin=\"([\\d.]+)\" "
                       "yMin=\"([\\d.]+)\" "
                       "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            QString text = m.captured(7);
            text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            pages.last().words.append(
                {text, QRectF(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                              QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()))});
        }
    }
    return pages;
}

} // namespace tramelle::test
