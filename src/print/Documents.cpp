#include "AppContext.h"
#include "Documents.h"
#include "PageComposer.h"
#include "PatientRecord.h"
#include "VideoOrderForm.h"
#include "WaitPointer.h"

#include <array>

namespace tramelle {

QString RepsHoldSetsText(const ProgramEntry& entry)
{
    QString text = QString::number(entry.Reps) + QStringLiteral(" rep");
    if (entry.Reps > 1)
        text += QLatin1Char('s');
    if (entry.Hold != 0)
        text += QStringLiteral(", ") + QString::number(entry.Hold) + QStringLiteral(" sec hold");
    text += QStringLiteral(", ") + QString::number(entry.Sets) + QStringLiteral(" set");
    if (entry.Sets > 1)
        text += QLatin1Char('s');
    return text;
}

void PrintExerciseSheets(AppContext& ctx, OutputSurface& surface, int perPage)
{
    const WaitPointer wait;
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;

    StartDocumentGeometry(g, 12);
    g.PageMargin = c.Inches(0.5);
    qint16 pictureHeight = c.Inches(1.5);
    qint16 pictureWidth = CheckedInt16(g.UnitsPerInch * 2.0);
    std::array<qint16, 3> columns{};
    if (perPage == 2) {
        pictureHeight = Round16(pictureHeight * 1.5);
        pictureWidth = Round16(pictureWidth * 1.5);
        columns = {g.PageMargin, c.Inches(3.75), CheckedInt16(g.UnitsPerInch * 7.0)};
    } else {
        perPage = 4;
        columns = {g.PageMargin, CheckedInt16(g.UnitsPerInch * 3.0), c.Inches(5.5)};
    }
    const double bodySize = g.BaseFontSize * g.PageScale;
    const double instructionSize = (g.BaseFontSize - 1) * g.PageScale;

    if (g.PreviewMode)
        s.Cls();
    const QString title = c.PageTitle();
    c.PrintTitle(title);
    c.PrintHeaderBlock();
    const double footerTop = c.FooterTop();

    const ProgramState& program = ctx.Program;
    const int count = std::clamp<int>(program.EntryCount, 0, MaxProgramEntries);
    QStringList pictureFiles;
    for (int i = 0; i < count; ++i) {
        const ProgramEntry& entry = program.Entries.at(i);
        pictureFiles << entry.Picture0 << entry.Picture1 << entry.Picture2;
    }
    c.PrefetchPictures(pictureFiles, pictureWidth, pictureHeight);
    int onPage = 0;
    for (int i = 0; i < count; ++i) {
        const ProgramEntry& entry = program.Entries.at(i);
        const std::array<const QString*, 3> pictures{&entry.Picture0, &entry.Picture1, &entry.Picture2};
        const std::array<const QString*, 3> instructions{&entry.Instruct0, &entry.Instruct1,
                                                         &entry.Instruct2};

        // Two instruction rows fit under the pictures; a longer instruction pushes the
        // next exercise down instead of printing over it.
        s.SetFontSize(instructionSize);
        const double instructionRow = s.TextHeight(QStringLiteral("X"));
        int rows = 2;
        for (int k = 0; k < 3; ++k)
            rows = std::max(rows, c.WrappedRowCount(*instructions[k], columns[k], pictureWidth));
        s.SetFontSize(bodySize);
        s.SetFontBold(true);
        const double height = s.TextHeight(QStringLiteral("X")) + g.UnitsPerInch * 0.05 + pictureHeight
                              + rows * instructionRow;
        s.SetFontBold(false);

        if (onPage == perPage || (onPage > 0 && s.CurrentY + height > footerTop)) {
            c.PrintCallFooter();
            s.NewPage();
            c.PrintTitle(title);
            c.PrintHeaderBlock();
            onPage = 0;
        }

        s.SetFontBold(true);
        const QString label = QString::number(i + 1) + QStringLiteral(". ");
        s.CurrentX = g.PageMargin - s.TextWidth(label);
        s.PrintStay(label);
        s.CurrentX = g.PageMargin;
        s.PrintLine(QStringLiteral("(") + entry.code + QStringLiteral(") ") + entry.Desc
                    + QStringLiteral(": ") + RepsHoldSetsText(entry));
        s.SetFontBold(false);

        const qint16 y = IntFloor16(s.CurrentY + g.UnitsPerInch * 0.05);
        s.SetFontSize(instructionSize);
        for (int k = 0; k < 3; ++k) {
            c.DrawPicture(*pictures[k], columns[k], y, pictureWidth, pictureHeight);
            s.CurrentY = y + pictureHeight;
            c.PrintWrapped(*instructions[k], columns[k], pictureWidth);
        }
        s.CurrentY = y + pictureHeight + rows * instructionRow;
        s.SetFontSize(bodySize);
        ++onPage;
    }
    c.PrintCallFooter();
}

void PrintCoverPage(AppContext& ctx, OutputSurface& surface)
{
    const WaitPointer wait;
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;

    StartDocumentGeometry(g, 12);
    if (g.PreviewMode)
        s.Cls();
    g.PageMargin = c.Inches(1.25);
    c.PrintTitle(c.PageTitle());
    c.PrintHeaderBlock();
    s.PrintLine();
    s.SetFontSize(12 * g.PageScale);
    c.PrintTextLines(g.PageMargin, ctx.CoverText);
    c.PrintCallFooter();
}

void ComposeDocument(AppContext& ctx, PrintJobKind kind, OutputSurface& surface)
{
    PageComposer c(ctx, surface);
    switch (kind) {
    case PrintKindExercises2:
        c.SetOrientation(2);
        PrintExerciseSheets(ctx, surface, 2);
        return;
    case PrintKindExercises4:
        c.SetOrientation(1);
        PrintExerciseSheets(ctx, surface, 4);
        return;
    case PrintKindCoverPage:
        c.SetOrientation(1);
        PrintCoverPage(ctx, surface);
        return;
    case PrintKindVideoOrder:
        c.SetOrientation(1);
        PrintVideoOrderForm(ctx, surface);
        return;
    case PrintKindPatientRecord:
        c.SetOrientation(1);
        PrintPatientRecord(ctx, surface);
        return;
    }
    throw PrintError(QStringLiteral("This document cannot be printed by this version of the program."));
}

} // namespace tramelle
