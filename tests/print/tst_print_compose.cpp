#include "Documents.h"
#include "LargePrint.h"
#include "PageComposer.h"
#include "PainterSurfaces.h"
#include "RecordingSurface.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// Sets the geometry as a print job or the preview does before composing.
void AtScale(AppContext& ctx, double scale)
{
    ctx.Geometry.PageScale = scale;
    ctx.Geometry.PreviewMode = scale != 1.0;
}

double LineHeight(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(static_cast<int>(std::lround(points * 20)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return QFontMetricsF(f).height();
}

// Where a drawn text ends but for its trailing spaces.
double VisibleRight(const DrawOp& op)
{
    MeasuringSurface m;
    m.SetFontName(op.font);
    m.SetFontSize(op.size);
    m.SetFontBold(op.bold);
    QString text = op.text;
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return op.box.x() + m.TextWidth(text);
}

// No two things drawn on a page cover each other: texts, pictures and the footer.
void VerifyNoOverprint(const RecordingSurface& s)
{
    for (int page = 0; page <= s.Page; ++page) {
        QList<DrawOp> ops;
        for (const DrawOp& op : s.Ops)
            if (op.page == page &&
                (op.kind == QLatin1String("text") || op.kind == QLatin1String("picture")) &&
                (op.kind == QLatin1String("picture") || !op.text.trimmed().isEmpty()))
                ops << op;
        for (int i = 0; i < ops.size(); ++i) {
            for (int j = i + 1; j < ops.size(); ++j) {
                const QRectF overlap = ops[i].box.intersected(ops[j].box);
                QVERIFY2(overlap.width() < 0.5 || overlap.height() < 0.5,
                         qPrintable(QStringLiteral("page %1: \"%2\" and \"%3\"")
                                        .arg(page + 1)
                                        .arg(ops[i].text, ops[j].text)));
            }
        }
    }
}

} // namespace

class TestPrintCompose : public QObject
{
    Q_OBJECT

private slots:
    void splitLinesKeepsInnerBlankLinesOnly()
    {
        QCOMPARE(SplitLines(QString()), QStringList());
        QCOMPARE(SplitLines(QStringLiteral("a\r\n\r\nb\r\n")), (QStringList{"a", "", "b"}));
        QCOMPARE(SplitLines(QStringLiteral("\r\nx")), (QStringList{"", "x"}));
        QCOMPARE(SplitLines(QStringLiteral("one line")), QStringList{"one line"});
        // A lone LF is not a line break of the stored text.
        QCOMPARE(SplitLines(QStringLiteral("a\nb")), QStringList{"a\nb"});

        QCOMPARE(FindFirstOf(1, QStringLiteral("ab-cd ef"), QStringLiteral(" -")), 3);
        QCOMPARE(FindFirstOf(4, QStringLiteral("ab-cd ef"), QStringLiteral(" -")), 6);
        QCOMPARE(FindFirstOf(7, QStringLiteral("ab-cd ef"), QStringLiteral(" -")), 0);
        QCOMPARE(FindFirstOf(1, QString(), QStringLiteral(" -")), 0);
    }

    void repsHoldSetsText()
    {
        ProgramEntry e;
        e.Reps = 10;
        e.Hold = 5;
        e.Sets = 3;
        QCOMPARE(RepsHoldSetsText(e), QStringLiteral("10 reps, 5 sec hold, 3 sets"));
        e.Reps = 1;
        e.Hold = 0;
        e.Sets = 1;
        QCOMPARE(RepsHoldSetsText(e), QStringLiteral("1 rep, 1 set"));
        e.Reps = 0;
        e.Hold = -2;
        QCOMPARE(RepsHoldSetsText(e), QStringLiteral("0 rep, -2 sec hold, 1 set"));
    }

    void wrappedTextBreaksAfterHyphenAndSpace()
    {
        TestContext t(false);
        RecordingSurface s;
        PageComposer c(*t, s);
        s.SetFontSize(11);
        // A column just wide enough for "ab-" but not for "ab-cd ".
        const auto width = static_cast<qint16>(std::ceil(s.TextWidth(QStringLiteral("ab-"))) + 1);
        s.CurrentY = 1000;
        c.PrintWrapped(QStringLiteral("ab-cd ef"), 500, width);
        const QList<DrawOp> words = s.Texts();
        QCOMPARE(words.size(), 3);
        QCOMPARE(words[0].text, QStringLiteral("ab-"));
        QCOMPARE(words[1].text, QStringLiteral("cd "));
        QCOMPARE(words[2].text, QStringLiteral("ef"));
        const double h = s.TextHeight(QStringLiteral("X"));
        QCOMPARE(words[0].box.topLeft(), QPointF(500, 1000));
        QCOMPARE(words[1].box.topLeft(), QPointF(500, 1000 + h));
        // "cd " and "ef" would need more than the column.
        QCOMPARE(words[2].box.topLeft(), QPointF(500, 1000 + 2 * h));
        QCOMPARE(c.WrappedRowCount(QStringLiteral("ab-cd ef"), 500, width), 3);
        QCOMPARE(c.WrappedRowCount(QString(), 500, width), 0);
    }

    void wordWiderThanColumnBreaksAtItsEdge()
    {
        TestContext t(false);
        RecordingSurface s;
        PageComposer c(*t, s);
        s.SetFontSize(11);
        const double h = s.TextHeight(QStringLiteral("X"));
        s.CurrentY = 0;
        c.PrintWrapped(QStringLiteral("Extraordinarily"), 100, 200);
        const QList<DrawOp> pieces = s.Texts();
        QVERIFY(pieces.size() > 1);
        QString joined;
        for (int i = 0; i < pieces.size(); ++i) {
            // Row after row from the first, none past the column's right edge.
            QCOMPARE(pieces[i].box.topLeft(), QPointF(100, i * h));
            QVERIFY(pieces[i].box.right() <= 300 + 1e-6);
            joined += pieces[i].text;
        }
        QCOMPARE(joined, QStringLiteral("Extraordinarily"));
        QCOMPARE(c.WrappedRowCount(QStringLiteral("Extraordinarily"), 100, 200),
                 int(pieces.size()));

        // After other words the long one starts its own row first; a word that fits
        // but for its trailing space stays whole on its row.
        RecordingSurface s2;
        PageComposer c2(*t, s2);
        s2.SetFontSize(11);
        const auto width = static_cast<qint16>(std::ceil(s2.TextWidth(QStringLiteral("Lift"))));
        c2.PrintWrapped(QStringLiteral("Lift Lift"), 0, width);
        QCOMPARE(s2.Texts().size(), 2);
        QCOMPARE(s2.Texts()[1].box.topLeft(), QPointF(0, h));
        QCOMPARE(c2.WrappedRowCount(QStringLiteral("Lift Lift"), 0, width), 2);
        s2.Ops.clear();
        s2.CurrentY = 0;
        c2.PrintWrapped(QStringLiteral("ab Extraordinarily"), 0, width);
        QCOMPARE(s2.Texts().first().text, QStringLiteral("ab "));
        QCOMPARE(s2.Texts()[1].box.topLeft(), QPointF(0, h));
        for (const DrawOp& op : s2.Texts())
            QVERIFY(VisibleRight(op) <= width + 1e-6);
    }

    void storedLineBreaksStartNewRows()
    {
        TestContext t(false);
        RecordingSurface s;
        PageComposer c(*t, s);
        s.SetFontSize(11);
        s.CurrentY = 0;
        c.PrintWrapped(QStringLiteral("Lie down\r\nBend knee"), 100, 3000);
        const QList<DrawOp> words = s.Texts();
        QCOMPARE(words.size(), 4);
        QCOMPARE(words[2].text, QStringLiteral("Bend "));
        QCOMPARE(words[2].box.topLeft(), QPointF(100, s.TextHeight(QStringLiteral("X"))));
        for (const DrawOp& w : words)
            QVERIFY(!w.text.contains(QLatin1Char('\r')) && !w.text.contains(QLatin1Char('\n')));
    }

    void sheetsFourPerPageLayout_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("printer") << 1.0;
        QTest::newRow("preview") << 0.75;
    }

    void sheetsFourPerPageLayout()
    {
        QFETCH(double, scale);
        TestContext t(false);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        FillProgram(*t, 10);
        WriteProgramPictures(t.Folder(), 10);
        AtScale(*t, scale);
        RecordingSurface s;
        PrintExerciseSheets(*t, s, 4);

        const double upi = std::floor(1440 * scale);
        QCOMPARE(t->Geometry.UnitsPerInch, qint16(upi));
        QCOMPARE(s.Page, 2); // 10 exercises: 3 pages
        QCOMPARE(s.Ops.first().kind, scale == 1.0 ? QStringLiteral("text") : QStringLiteral("cls"));

        // Title centred at half an inch, 12-point Arial.
        const DrawOp title = s.FindText(QStringLiteral("Riverside Physio, 555-0100"));
        QCOMPARE(title.box.y(), upi * 0.5);
        QCOMPARE(title.size, 12 * scale);
        QCOMPARE(title.font, QStringLiteral("Arial"));
        QVERIFY(qAbs(title.box.center().x() - upi * 4.25) < 1);

        // Header block: labels at the margin and at 4.25 inch, from 0.875 inch.
        const DrawOp patient = s.FindText(QStringLiteral("Patient:"));
        QCOMPARE(patient.box.topLeft(), QPointF(std::floor(upi * 0.5), upi * 0.875));
        QCOMPARE(s.FindText(QStringLiteral("Doe, Jane")).box.x(), std::floor(upi * 0.5) + upi);
        QCOMPARE(s.FindText(QStringLiteral("Provider:")).box.topLeft(),
                 QPointF(std::floor(upi * 4.25), upi * 0.875));
        QCOMPARE(s.FindText(QStringLiteral("Date:")).box.x(), std::floor(upi * 4.25));
        QVERIFY(s.FindText(QStringLiteral("12/8/26")).box.x() > 0);

        // Pictures: 2 x 1.5 inch boxes at 0.5, 3 and 5.5 inch, four exercises a page.
        const QList<DrawOp> pictures = s.Pictures(0);
        QCOMPARE(pictures.size(), 12);
        const double width = upi * 2, height = std::floor(upi * 1.5);
        if (scale == 1.0) {
            QCOMPARE(width, 2880.0);
            QCOMPARE(height, 2160.0);
        }
        const double columns[] = {std::floor(upi * 0.5), upi * 3, std::floor(upi * 5.5)};
        for (int i = 0; i < pictures.size(); ++i) {
            QCOMPARE(pictures[i].box.size(), QSizeF(width, height));
            QCOMPARE(pictures[i].box.x(), columns[i % 3]);
            QCOMPARE(pictures[i].box.y(), pictures[i - i % 3].box.y());
        }

        // Number labels end at the margin, one digit or two; the exercise line is bold.
        for (const QString& label : {QStringLiteral("1. "), QStringLiteral("10. ")}) {
            const DrawOp op = s.FindText(label);
            QVERIFY2(op.bold, qPrintable(label));
            QCOMPARE(op.size, 12 * scale);
            QVERIFY2(qAbs(op.box.right() - std::floor(upi * 0.5)) < 1e-6, qPrintable(label));
        }
        const DrawOp line1 =
            s.FindText(QStringLiteral("(C1) Exercise number 1: 10 reps, 5 sec hold, 3 sets"));
        QVERIFY(line1.bold);
        QCOMPARE(line1.box.x(), std::floor(upi * 0.5));

        // Picture top = Int(row end + 0.05 inch); instructions in 11 points under the
        // pictures; the next exercise two instruction rows below the pictures.
        const double row12 = LineHeight(12 * scale, true);
        QCOMPARE(pictures[0].box.y(), std::floor(line1.box.y() + row12 + upi * 0.05));
        const DrawOp instruction = s.FindText(QStringLiteral("Start "));
        QCOMPARE(instruction.size, 11 * scale);
        QCOMPARE(instruction.box.topLeft(), QPointF(columns[0], pictures[0].box.bottom()));
        const DrawOp line2 = s.FindText(QStringLiteral("(C2)"));
        QVERIFY(qAbs(line2.box.y() - (pictures[0].box.bottom() + 2 * LineHeight(11 * scale))) <
                1e-3);

        // Every page carries title, header block and the footer notice.
        for (int page = 0; page <= 2; ++page) {
            QVERIFY(!s.FindText(QStringLiteral("Riverside Physio"), page).text.isEmpty());
            QVERIFY(!s.FindText(QStringLiteral("Patient:"), page).text.isEmpty());
            const DrawOp notice = s.FindText(PublisherNotice(), page);
            QVERIFY(qAbs(notice.box.right() - (upi * 8.5 - std::floor(upi * 0.5))) < 1e-3);
            QVERIFY(notice.box.y() > pictures.last().box.bottom());
        }
        QCOMPARE(s.FindText(QStringLiteral("5. ")).page, 1);
        QCOMPARE(s.FindText(QStringLiteral("9. ")).page, 2);
    }

    void largePrintHandoutsKeepLargeTypeInsideTheMargins_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("printer") << 1.0;
        QTest::newRow("preview") << 0.75;
    }

    void largePrintHandoutsKeepLargeTypeInsideTheMargins()
    {
        QFETCH(double, scale);
        TestContext t(false);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        FillProgram(*t, 3);
        WriteProgramPictures(t.Folder(), 3);
        t->Program.Entries[1].Instruct0 =
            QStringLiteral("Sit tall on a firm chair with both feet flat on the floor. ")
                .repeated(16);
        // Exercise 3 has two pictures: they grow into the room of the third.
        t->Program.Entries[2].Picture1.clear();
        t->Program.Entries[2].Instruct1.clear();
        AtScale(*t, scale);
        RecordingSurface s;
        QVERIFY(ComposeDocument(*t, PrintJobKind::LargePrint, s));

        QCOMPARE(s.Page, 2);
        QCOMPARE(s.PageOrientations, QList<PageOrientation>(3, PageOrientation::Portrait));
        const double inch = std::floor(1440 * scale);
        const QRectF inside(0.75 * inch - 0.5, 0.75 * inch - 0.5, 7 * inch + 1, 9.5 * inch + 1);
        for (const DrawOp& op : s.Ops) {
            if (op.kind == QLatin1String("text") && op.text.trimmed().isEmpty())
                continue;
            if (op.kind == QLatin1String("text") || op.kind == QLatin1String("picture"))
                QVERIFY2(inside.contains(op.box), qPrintable(op.text));
        }
        VerifyNoOverprint(s);

        for (int page = 0; page < 3; ++page) {
            // The heading wraps word by word, its number first.
            QVERIFY(s.FindText(QStringLiteral("%1. ").arg(page + 1), page).bold);
            const DrawOp heading = s.FindText(QStringLiteral("(C%1) ").arg(page + 1), page);
            QVERIFY(heading.bold);
            QCOMPARE(heading.size, LargePrint::HeadingPoints * scale);
            QCOMPARE(s.FindText(QStringLiteral("Return"), page).size,
                     LargePrint::InstructionPoints * scale);
            QCOMPARE(s.FindText(QStringLiteral("Patient:"), page).box.x(), 0.75 * inch);
            QVERIFY(!s.FindText(QStringLiteral("Riverside Physio, 555-0100"), page).text.isEmpty());
            QVERIFY(!s.FindText(PublisherNotice(), page).text.isEmpty());
            // Each instruction stands beside its picture, which is larger than on the sheets
            // unless a long instruction needs the room.
            for (const DrawOp& picture : s.Pictures(page)) {
                QCOMPARE(picture.box.x(), 0.75 * inch);
                QVERIFY(page == 1 || picture.box.width() > 2 * inch);
                QVERIFY(qAbs(picture.box.width() / picture.box.height() - 4.0 / 3.0) < 0.01);
            }
            const DrawOp first = s.Pictures(page).first();
            QVERIFY(s.FindText(QStringLiteral("Return"), page).box.x() > first.box.right());
        }
        QCOMPARE(s.Pictures(0).size(), 3);
        QCOMPARE(s.Pictures(2).size(), 2);
        QVERIFY(s.Pictures(2).first().box.height() > s.Pictures(0).first().box.height());
        // The long instruction wraps into many rows and still ends above the footer.
        QVERIFY(s.Pictures(1).first().box.height() < s.Pictures(0).first().box.height());
        double lowest = 0;
        for (const DrawOp& op : s.Texts(1))
            if (op.text.contains(QStringLiteral("Sit")) ||
                op.text.contains(QStringLiteral("floor")))
                lowest = std::max(lowest, op.box.bottom());
        QVERIFY(lowest < s.FindText(PublisherNotice(), 1).box.top());
    }

    void largePrintOfAnEmptyProgramIsOnePage()
    {
        TestContext t(false);
        FillProgram(*t, 0);
        RecordingSurface s;
        QVERIFY(ComposeDocument(*t, PrintJobKind::LargePrint, s));
        QCOMPARE(s.Page, 0);
        QVERIFY(s.Pictures().isEmpty());
        QVERIFY(!s.FindText(QStringLiteral("Patient:")).text.isEmpty());
        QVERIFY(!s.FindText(PublisherNotice()).text.isEmpty());
    }

    void sheetsTwoPerPageLayout()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        t->Settings.PictureFolder = t.Folder();
        WriteProgramPictures(t.Folder(), 3);
        AtScale(*t, 1);
        RecordingSurface s;
        QVERIFY(ComposeDocument(*t, PrintJobKind::Exercises2, s));
        QCOMPARE(s.Page, 1); // 3 exercises at 2 per page: 2 pages
        QCOMPARE(s.PageOrientations,
                 (QList<PageOrientation>{PageOrientation::Landscape, PageOrientation::Landscape}));
        QCOMPARE(t->Geometry.PageWidthInches, 11.0);
        const QList<DrawOp> pictures = s.Pictures();
        QCOMPARE(pictures.size(), 9);
        const double columns[] = {720, 5400, 10080};
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(pictures[i].box.size(), QSizeF(4320, 3240));
            QCOMPARE(pictures[i].box.x(), columns[i % 3]);
        }
        const DrawOp third = s.FindText(QStringLiteral("3. "));
        QCOMPARE(third.page, 1);
        QVERIFY(s.FindText(QStringLiteral("(C3)"), 0).text.isEmpty());
        // The footer of a landscape page sits above its 8.5 inch bottom.
        const DrawOp notice = s.FindText(PublisherNotice(), 0);
        QVERIFY(notice.box.bottom() < 8.5 * 1440 - 720);
        QVERIFY(notice.box.y() > pictures[5].box.bottom());
    }

    void pageCountsFollowPerPage()
    {
        TestContext t(false);
        for (const auto& [count, perPage, pages] : {std::tuple{0, 4, 1},
                                                    {4, 4, 1},
                                                    {5, 4, 2},
                                                    {20, 4, 5},
                                                    {2, 2, 1},
                                                    {3, 2, 2},
                                                    {20, 2, 10}}) {
            FillProgram(*t, count);
            AtScale(*t, 1);
            RecordingSurface s;
            PrintExerciseSheets(*t, s, perPage);
            QVERIFY2(s.Page + 1 == pages,
                     qPrintable(QStringLiteral("%1 at %2").arg(count).arg(perPage)));
            QVERIFY(!s.FindText(PublisherNotice(), s.Page).text.isEmpty());
        }
    }

    void missingPicturesLeaveBlankBoxes()
    {
        TestContext t(false);
        FillProgram(*t, 2);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        ProgramEntry& only = t->Program.Entries[0];
        only.Picture1.clear();
        only.Picture2.clear();
        only.Reps = 1;
        only.Hold = 0;
        only.Sets = 1;
        // Written in another letter case: file names match whatever their case.
        WritePicture(t.Folder(), QStringLiteral("100_1.jpg"));
        // Exercise 2 names pictures that do not exist, and one that is not a picture.
        QFile junk(QDir(t.Folder()).filePath(QStringLiteral("101_2.JPG")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a picture");
        junk.close();
        RecordingSurface s;
        PrintExerciseSheets(*t, s, 4);
        const QList<DrawOp> pictures = s.Pictures();
        QCOMPARE(pictures.size(), 1);
        QCOMPARE(pictures[0].box.x(), 720.0);
        QVERIFY(!s.FindText(QStringLiteral("(C1) Exercise number 1: 1 rep, 1 set")).text.isEmpty());
        // Both instructions are still printed and the document goes on to its footer.
        QVERIFY(!s.FindText(QStringLiteral("Start position 2")).text.isEmpty() ||
                !s.FindText(QStringLiteral("Start ")).text.isEmpty());
        QVERIFY(!s.FindText(PublisherNotice()).text.isEmpty());
    }

    void longInstructionsShrinkThatPagesPictures()
    {
        TestContext t(false);
        FillProgram(*t, 8);
        t->Settings.PictureFolder = t.Folder();
        WriteProgramPictures(t.Folder(), 8);
        AtScale(*t, 1);
        // Five rows under the middle picture of exercise 1; page 2 keeps its two rows.
        t->Program.Entries[0].Instruct1 = QStringLiteral("one\r\ntwo\r\nthree\r\nfour\r\nfive");
        RecordingSurface s;
        PrintExerciseSheets(*t, s, 4);
        QCOMPARE(s.Page, 1);
        QCOMPARE(s.FindText(QStringLiteral("4. ")).page, 0);
        VerifyNoOverprint(s);

        // Every picture of page 1 shrinks alike, proportions kept, by at most 15 %.
        const QList<DrawOp> first = s.Pictures(0);
        QCOMPARE(first.size(), 12);
        const QSizeF box = first[0].box.size();
        QVERIFY(box.height() < 2160 && box.height() >= 2160 * 0.85);
        QVERIFY(qAbs(box.width() / box.height() - 2880.0 / 2160) < 0.002);
        for (const DrawOp& p : first)
            QCOMPARE(p.box.size(), box);
        // Columns and fonts stay; the instructions still wrap at the column's width.
        QCOMPARE(first[1].box.x(), 4320.0);
        QCOMPARE(s.FindText(QStringLiteral("five")).size, 11.0);
        for (const DrawOp& p : s.Pictures(1))
            QCOMPARE(p.box.size(), QSizeF(2880, 2160));

        // Two rows exactly keep the layout unchanged.
        t->Program.Entries[0].Instruct1 = QStringLiteral("one\r\ntwo");
        RecordingSurface two;
        PrintExerciseSheets(*t, two, 4);
        for (const DrawOp& p : two.Pictures())
            QCOMPARE(p.box.size(), QSizeF(2880, 2160));
        QCOMPARE(two.Page, 1);
    }

    void longestInstructionsKeepFourAndTwoPerPage_data()
    {
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<double>("scale");
        QTest::newRow("delivered library, printer") << true << 1.0;
        QTest::newRow("delivered library, preview") << true << 0.75;
        QTest::newRow("75 characters of long words, printer") << false << 1.0;
        QTest::newRow("75 characters of long words, preview") << false << 0.75;
    }

    void longestInstructionsKeepFourAndTwoPerPage()
    {
        QFETCH(bool, delivered);
        QFETCH(double, scale);
        TestContext t(false);
        FillProgram(*t, 20);
        t->Settings.PictureFolder = t.Folder();
        WriteProgramPictures(t.Folder(), 20);
        QList<QStringList> texts;
        if (delivered) {
            texts = LongestDeliveredInstructions(20);
            QCOMPARE(texts.size(), 20);
        } else {
            for (int i = 0; i < 5; ++i)
                texts.append({LongWordsInstruction(i), LongWordsInstruction(i + 1),
                              LongWordsInstruction(i + 2)});
        }
        SetInstructions(*t, texts);
        for (const auto& [perPage, pages] : {std::pair{4, 5}, {2, 10}}) {
            AtScale(*t, scale);
            RecordingSurface s;
            PrintExerciseSheets(*t, s, perPage);
            QVERIFY2(s.Page + 1 == pages, qPrintable(QStringLiteral("%1 pages").arg(s.Page + 1)));
            VerifyNoOverprint(s);
            const double upi = t->Geometry.UnitsPerInch;
            const double column = perPage == 4 ? upi * 2 : upi * 3;
            const double fullHeight =
                perPage == 4 ? std::floor(upi * 1.5) : std::nearbyint(std::floor(upi * 1.5) * 1.5);
            for (int page = 0; page <= s.Page; ++page) {
                const QList<DrawOp> pictures = s.Pictures(page);
                QVERIFY(!pictures.isEmpty());
                for (const DrawOp& p : pictures) {
                    QCOMPARE(p.box.size(), pictures[0].box.size());
                    QVERIFY(p.box.height() >= fullHeight * 0.85 - 1);
                }
                // Instructions in 11 or 10 points, inside their column.
                for (const DrawOp& op : s.Texts(page)) {
                    if (op.bold || op.box.y() < pictures[0].box.bottom() ||
                        op.text == PublisherNotice() ||
                        op.text.startsWith(QStringLiteral("Call Velmora")) ||
                        op.text.startsWith(QStringLiteral("to order")))
                        continue;
                    QVERIFY2(qAbs(op.size - 11 * scale) < 1e-9 || qAbs(op.size - 10 * scale) < 1e-9,
                             qPrintable(op.text));
                    const DrawOp* own = nullptr;
                    for (const DrawOp& p : pictures)
                        if (p.box.x() <= op.box.x() + 1e-6)
                            own = &p;
                    QVERIFY(own);
                    QVERIFY2(VisibleRight(op) <= own->box.x() + column + 1e-6, qPrintable(op.text));
                }
            }
        }
    }

    void coverPageLayout()
    {
        TestContext t(false);
        FillProgram(*t, 3);
        t->CoverText =
            QStringLiteral("Welcome to the clinic.\r\n\r\nCall us with any question.\r\n");
        AtScale(*t, 1);
        RecordingSurface s;
        QVERIFY(ComposeDocument(*t, PrintJobKind::CoverPage, s));
        QCOMPARE(s.Page, 0);
        QCOMPARE(s.PageOrientations, QList<PageOrientation>{PageOrientation::Portrait});
        QCOMPARE(s.FindText(QStringLiteral("Patient:")).box.x(), 1800.0);
        QCOMPARE(s.FindText(QStringLiteral("Usage:")).box.x(), 1800.0);
        QCOMPARE(s.FindText(QStringLiteral("Provider:")).box.x(), 6120.0);
        const DrawOp first = s.FindText(QStringLiteral("Welcome"));
        const DrawOp third = s.FindText(QStringLiteral("Call us"));
        QCOMPARE(first.box.x(), 1800.0);
        QCOMPARE(first.size, 12.0);
        // The blank line stays a blank row.
        QVERIFY(qAbs(third.box.y() - first.box.y() - 2 * LineHeight(12)) < 1e-3);
        QVERIFY(first.box.y() > s.FindText(QStringLiteral("Usage:")).box.bottom());
        QVERIFY(s.Pictures().isEmpty());
        // The notice ends at the cover's own margin.
        QVERIFY(qAbs(s.FindText(PublisherNotice()).box.right() - (8.5 * 1440 - 1800)) < 1e-3);
    }

    void pageTitleJoinsOnlyWhatTheClinicFilledIn()
    {
        TestContext t(false);
        RecordingSurface s;
        PageComposer c(*t, s);
        QCOMPARE(c.PageTitle(), QString());
        t->Clinic.Name = QStringLiteral("Riverside PT");
        QCOMPARE(c.PageTitle(), QStringLiteral("Riverside PT"));
        t->Clinic.Phone = QStringLiteral("(555) 010-4477");
        QCOMPARE(c.PageTitle(), QStringLiteral("Riverside PT, (555) 010-4477"));
    }

    void callFooterFollowsTheSetting()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        t->VendorPhone = QStringLiteral("1-800-555-0199");
        AtScale(*t, 1);
        t->Settings.PrintCallVMR = false;
        RecordingSurface off;
        PrintExerciseSheets(*t, off, 4);
        const DrawOp noticeOff = off.FindText(PublisherNotice());
        QVERIFY(off.FindText(QStringLiteral("Call Velmora")).text.isEmpty());
        const double footerY = 15840 - 3 * LineHeight(12) - 720;
        QVERIFY(qAbs(noticeOff.box.y() - footerY) < 1e-3);

        t->Settings.PrintCallVMR = true;
        RecordingSurface on;
        PrintExerciseSheets(*t, on, 4);
        const DrawOp call =
            on.FindText(QStringLiteral("Call Velmora, Inc. toll free at 1-800-555-0199"));
        QVERIFY(call.bold);
        QVERIFY(qAbs(call.box.y() - footerY) < 1e-3);
        QVERIFY(qAbs(call.box.center().x() - 6120) < 1);
        const DrawOp order =
            on.FindText(QStringLiteral("to order your video tape of this exercise program."));
        QVERIFY(order.box.y() > call.box.y());
        QVERIFY(on.FindText(PublisherNotice()).box.y() > order.box.y());
        QVERIFY(!on.FindText(PublisherNotice()).bold);
    }

    void primitives()
    {
        TestContext t(false);
        RecordingSurface s;
        PageComposer c(*t, s);
        t->Geometry.UnitsPerInch = 1440;
        t->Geometry.PageMargin = 720;
        c.SetOrientation(PageOrientation::Portrait);
        s.SetFontSize(12);
        const QString wide(200, QLatin1Char('W'));
        c.SetCenteredX(wide);
        QVERIFY(s.CurrentX < 0);
        c.SetOrientation(PageOrientation::Landscape);
        QCOMPARE(s.Orientation(), PageOrientation::Landscape);
        QCOMPARE(t->Geometry.PageHeightInches, 8.5);
        c.PrintRight(QStringLiteral("right"));
        QVERIFY(qAbs(s.CurrentX - (11 * 1440 - 720)) < 1e-6);
        c.PrintCheckBox(true);
        c.PrintCheckBox(false);
        c.PrintMarker();
        QCOMPARE(s.FontName(), QStringLiteral("Arial"));
        const QList<DrawOp> texts = s.Texts();
        QCOMPARE(texts[1].text, QString(QChar(0x2611)));
        QCOMPARE(texts[2].text, QString(QChar(0x2610)));
        QVERIFY(texts[3].font != QStringLiteral("Arial"));

        s.CurrentY = 0;
        c.AdvanceRow();
        c.AdvanceSpacedRow();
        c.AdvanceRows(2);
        c.AdvanceSpacedRows(0.5);
        QCOMPARE(s.CurrentY, 220.0 + 260 + 440 + 120);

        s.CurrentY = 0;
        c.PrintTextLines(300, QString());
        QVERIFY(s.CurrentY == 0);
        c.PrintTextRows(300, QStringLiteral("a\r\nb"));
        QCOMPARE(s.CurrentY, 440.0);
        QCOMPARE(s.Texts().last().box.topLeft(), QPointF(300, 220));

        s.SetFontSize(10);
        c.ShadeBand(100, 900, 1000);
        const DrawOp band = s.Ops.last();
        const double h = std::nearbyint(s.TextHeight(QStringLiteral("X")));
        QCOMPARE(band.kind, QStringLiteral("fill"));
        QCOMPARE(band.box, QRectF(QPointF(100, 1000 - h / 8), QPointF(900, 1000 + h + h / 16)));
    }

    void measuresOutOfRangeAreErrors()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        t->Geometry.PageScale = 30; // far beyond any zoom: positions no longer fit 16 bits
        RecordingSurface s;
        const Outcome composed = ComposeDocument(*t, PrintJobKind::Exercises4, s);
        QVERIFY(composed.Reason().startsWith(
            QStringLiteral("Overflow: a page measure is out of range (")));
    }

    // The preview draws its words from cached glyphs and its pictures in bands; the page
    // must come out as a plain painter would draw it, words repeated in several fonts
    // and a picture across the bands included.
    void previewPageMatchesAPlainPainter()
    {
        QImage picture(200, 150, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, ((x + y) * 5) % 256));
        const QRectF box(733, 1201, 2160, 1620); // not on whole pixels
        const QStringList words{QStringLiteral("Hold"),          QStringLiteral("5"),
                                QStringLiteral("seconds,"),      QStringLiteral("Hold"),
                                QStringLiteral("Wall push-ups"), QStringLiteral("Hold")};

        PreviewSurface preview(0.75);
        preview.PaintPicture(picture, box.x(), box.y(), box.width(), box.height());
        QList<std::tuple<QPointF, QFont, double, QString>> drawn;
        for (int i = 0; i < words.size(); ++i) {
            preview.SetFontSize(i % 2 ? 9 : 11);
            preview.SetFontBold(i % 3 == 0);
            preview.CurrentX = 400 + 37.5 * i;
            preview.CurrentY = 300 + 250 * i;
            drawn.append({QPointF(preview.CurrentX, preview.CurrentY), preview.Font(),
                          preview.Ascent(), words[i]});
            preview.PrintStay(words[i]);
        }
        preview.EndDoc();
        const QImage page = preview.Pages().value(0);

        QImage expected(page.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter p(&expected);
        p.scale(1 / 15.0, 1 / 15.0);
        p.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing |
                         QPainter::TextAntialiasing);
        p.drawImage(box, picture);
        p.setPen(Qt::black);
        for (const auto& [at, font, ascent, text] : drawn) {
            p.setFont(font);
            p.drawText(at + QPointF(0, ascent), text);
        }
        p.end();

        qsizetype differing = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                differing += page.pixel(x, y) != expected.pixel(x, y);
        QCOMPARE(differing, 0);
    }

    // Pictures read ahead are handed out in drawing order; one drawn out of that order,
    // one never asked for and one asked for twice each still come back whole, and a
    // surface dropped with pictures still pending closes cleanly.
    void previewReadsPicturesAhead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList files;
        for (const QColor& colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) {
            QImage image(400, 300, QImage::Format_RGB32);
            image.fill(colour);
            files << dir.filePath(colour.name().mid(1) + QStringLiteral(".jpg"));
            QVERIFY(image.save(files.last(), "JPG"));
        }
        const double w = 2160, h = 1620;
        auto pixel = [](const QImage& image) {
            return image.isNull() ? QColor() : image.pixelColor(50, 50);
        };
        PreviewSurface direct(0.75);
        const QImage expected = direct.LoadPicture(files[0], w, h);
        QCOMPARE(expected.size(), QSize(200, 150));

        PreviewSurface ahead(0.75);
        ahead.PrefetchPictures(
            {{files[0], w, h}, {files[1], w, h}, {files[0], w, h}, {files[2], w, h}});
        QCOMPARE(ahead.LoadPicture(files[1], w, h),
                 direct.LoadPicture(files[1], w, h)); // skips the first
        QCOMPARE(ahead.LoadPicture(files[0], w, h), expected);
        QCOMPARE(ahead.LoadPicture(files[0], w, h), expected); // no longer queued: read again
        QCOMPARE(pixel(ahead.LoadPicture(files[2], w, h)).blue() > 200, true);
        QVERIFY(ahead.LoadPicture(dir.filePath(QStringLiteral("missing.jpg")), w, h).isNull());

        PreviewSurface dropped(0.75);
        dropped.PrefetchPictures({{files[0], w, h}, {files[1], w, h}, {files[2], w, h}});
    }
};

TRAMELLE_TEST_MAIN(TestPrintCompose)
#include "tst_print_compose.moc"
