#include "PatientRecord.h"

#include "AppContext.h"
#include "FormGrid.h"

#include <QCoreApplication>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::PatientRecord)
};

} // namespace

void PrintPatientRecord(AppContext& ctx, OutputSurface& surface)
{
    PageComposer c(ctx, surface);
    PageGeometry& g = ctx.Geometry;
    OutputSurface& s = surface;

    StartDocumentGeometry(g, 10);
    g.PageMargin = g.UnitsPerInch;
    const qint16 right = c.Inches(7.5);
    const qint16 offset = c.Inches(0.0625);
    const qint16 nudge = IntFloor16(g.UnitsPerInch * 0.0625 / 2);
    if (g.PreviewMode)
        s.Cls();

    c.PrintTitle(c.PageTitle());
    c.PrintHeaderBlock();
    c.AdvanceRow();

    // The program: a row for every slot, filled or not, so the grid never changes size.
    const double margin = g.PageMargin;
    const double inch = g.UnitsPerInch;
    const FormGrid program{{g.PageMargin, IntFloor16(inch * 0.5 + margin),
                            CheckedInt16(margin + inch), IntFloor16(inch * 5 + margin),
                            IntFloor16(inch * 5.5 + margin), CheckedInt16(inch * 6 + margin)},
                           right,
                           offset};
    PrintShadedHeading(c, Texts::tr("EXERCISE PROGRAM"), offset, CheckedInt16(right - offset));
    s.CurrentX = g.PageMargin;
    s.CurrentY += 2 * nudge;
    const qint16 programTop =
        program.StartWithHeads(c,
                               {Texts::tr("Nbr"), Texts::tr("Code"), Texts::tr("Description"),
                                Texts::tr("Reps"), Texts::tr("Hold"), Texts::tr("Sets")},
                               nudge);

    const ProgramState& p = ctx.Program;
    const int count = std::clamp<int>(p.EntryCount, 0, MaxProgramEntries);
    for (int i = 0; i <= MaxProgramEntries; ++i) {
        c.AdvanceRow();
        if (i < count) {
            const ProgramEntry& e = p.Entries.at(std::size_t(i));
            program.Cell(c, 0, NumberCell(i + 1));
            program.Cell(c, 1, e.code);
            program.Cell(c, 2, e.Desc);
            program.Cell(c, 3, NumberCell(e.Reps));
            program.Cell(c, 4, SecondsCell(e.Hold));
            program.Cell(c, 5, NumberCell(e.Sets));
        }
        // The rule above the row; the last pass closes the grid under the 20th row.
        program.RowRule(c, nudge / 2.0, nudge);
    }
    program.Verticals(c, programTop, IntFloor16(s.CurrentY - nudge));

    // The log: empty rows for the dates and notes of the patient's visits.
    c.AdvanceRow();
    const FormGrid log{{g.PageMargin, CheckedInt16(margin + inch)}, right, offset};
    PrintShadedHeading(c, Texts::tr("EXERCISE LOG"), offset, CheckedInt16(right - offset));
    s.CurrentX = g.PageMargin;
    s.CurrentY += 2 * nudge;
    const qint16 logTop = log.StartWithHeads(c, {Texts::tr("Date"), Texts::tr("Notes")}, nudge);
    constexpr int LogRows = 15;
    for (int i = 0; i <= LogRows; ++i) {
        c.AdvanceSpacedRow();
        log.RowRule(c, nudge / 2.0, nudge);
    }
    log.Verticals(c, logTop, IntFloor16(s.CurrentY - nudge));

    c.AdvanceRows(3);
    s.CurrentX = g.PageMargin;
    s.PrintStay(Texts::tr("Signature: ___________________________"));
    c.PrintPlainFooter();
}

} // namespace tramelle
