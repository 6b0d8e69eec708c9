#pragma once

#include "OutputSurface.h"
#include "PageGeometry.h"
#include "PrintTypes.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace tramelle {

class AppContext;

// The text, picture and line primitives and the page furniture shared by the documents.
// A composer draws on one surface with the context's geometry state; positions are in
// drawing units (UnitsPerInch per inch), font sizes already multiplied by PageScale.
class PageComposer
{
public:
    PageComposer(AppContext& ctx, OutputSurface& surface);

    AppContext& Ctx;
    OutputSurface& S;
    PageGeometry& G;
    // Inches from the paper's top edge to the title, and from its bottom edge to the foot
    // of the footer; a document may ask for wider ones.
    double TopInches = 0.5;
    double BottomInches = 0.5;

    // The inch sizes follow even when the target refuses the orientation.
    void SetOrientation(PageOrientation orientation);
    void SetCenteredX(const QString& text);
    void SetRightAlignedX(const QString& text);
    void PrintCentered(const QString& text);
    void PrintCenteredLine(const QString& text);
    void PrintRight(const QString& text);
    void PrintCheckBox(bool ticked);
    void PrintMarker();
    void PrintTitle(const QString& text);
    void PrintHeaderBlock();
    void PrintPlainFooter();
    void PrintCallFooter();
    // Where the footers start, measured in the current font.
    double FooterTop() const;

    void PrintTextLines(qint16 leftX, const QString& text);
    void PrintTextRows(qint16 leftX, const QString& text);
    void PrintWord(const QString& word, qint16 leftX, qint16 width);
    // Word wrap into a column: breaks after spaces and hyphens, a line break in the text
    // starts a new row; a word wider than the column breaks at the column's edge.
    void PrintWrapped(const QString& text, qint16 leftX, qint16 width);
    // The rows PrintWrapped takes for the text in the current font (0 for no text).
    int WrappedRowCount(const QString& text, qint16 leftX, qint16 width) const;
    // Picture file (relative to the picture folder) stretched to the box; a missing or
    // unreadable file leaves the box empty.
    void DrawPicture(const QString& fileName, qint16 x, qint16 y, qint16 width, qint16 height);
    // The pictures DrawPicture will be asked for next, in order, with their boxes: a
    // surface may read them ahead.
    struct PictureBox
    {
        QString fileName;
        qint16 width = 0;
        qint16 height = 0;
    };
    void PrefetchPictures(const QList<PictureBox>& pictures);
    void ShadeBand(qint16 leftX, qint16 rightX, qint16 y);

    void AdvanceRow();
    void AdvanceRows(double n);
    void AdvanceSpacedRow();
    void AdvanceSpacedRows(double n);

    // Units of one inch fraction, through Int() as the layouts specify.
    qint16 Inches(double inches) const { return IntFloor16(G.UnitsPerInch * inches); }
    // The clinic's name and telephone: the title of every page.
    QString PageTitle() const;

private:
    QString PicturePath(const QString& fileName);
    double PageWidthUnits() const;
    void PrintSymbol(QChar symbol);

    // File name to its path on disk ("" when it names no regular file inside the picture
    // folder), found once per document.
    QHash<QString, QString> m_picturePaths;
};

// The lines of a text split at CR LF: inner empty lines stay, a final CR LF adds none.
QStringList SplitLines(const QString& text);
// The smallest 1-based position >= start where one of the characters occurs; 0 if none.
qint32 FindFirstOf(qint32 start, const QString& text, const QString& characters);
// The one-line notice at the foot of every printed page.
QString PublisherNotice();
// Sets UnitsPerInch from PageScale at the start of a document.
void StartDocumentGeometry(PageGeometry& g, double baseFontSize);

} // namespace tramelle
