#include "ProgramHistory.h"
#include "ProgramRules.h"
#include "ProgramSnapshot.h"
#include "ProtocolStore.h"
#include "TestMain.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace tramelle;

namespace {

ProgramEntry Entry(qint32 id)
{
    ProgramEntry e;
    e.ExerciseID = id;
    e.AbbrevDesc = QStringLiteral("Ex%1").arg(id);
    e.Icon = QStringLiteral("%1.JPG").arg(id);
    e.Reps = 10;
    return e;
}

// A stored program of `count` entries (ids 1 .. count), not modified.
ProgramState Program(int count)
{
    ProgramState p;
    p.PatientID = 5;
    p.InvoiceID = 40;
    p.Provider = QStringLiteral("Dr. Lane");
    for (int i = 0; i < count; ++i)
        p.Entries.at(static_cast<size_t>(i)) = Entry(i + 1);
    p.EntryCount = static_cast<qint16>(count);
    return p;
}

struct Kind
{
    const char* name;
    std::function<void(ProgramState&)> edit;
};

} // namespace

class TestProgramHistory : public QObject
{
    Q_OBJECT

private slots:
    // Every kind of edit: undo gives back the very program it started from, redo the one it
    // made (the flag apart: a protocol does not set it, doing it again does).
    void eachEditUndoesAndRedoesExactly()
    {
        const QList<Kind> kinds = {
            {"insert", [](ProgramState& p) { InsertEntry(p, 1, Entry(50)); }},
            {"move down", [](ProgramState& p) { MoveEntry(p, 0, 3, DragMode::Insert); }},
            {"swap", [](ProgramState& p) { MoveEntry(p, 0, 3, DragMode::Replace); }},
            {"remove", [](ProgramState& p) { RemoveEntry(p, 1); }},
            {"clear", [](ProgramState& p) { ClearEntries(p); }},
            {"parameters",
             [](ProgramState& p) {
                 p.Entries[2].Reps = 25;
                 p.Entries[2].Instruct0 = QStringLiteral("Slowly.");
                 p.Modified = true;
             }},
            {"protocol",
             [](ProgramState& p) {
                 ApplyProtocol(p, {Entry(60), Entry(61)}, ProtocolApply::Replace);
             }},
        };
        for (const Kind& kind : kinds) {
            ProgramState program = Program(4);
            ProgramHistory history(program);
            QSignalSpy restored(&history, &ProgramHistory::restored);
            const ProgramState before = program;
            kind.edit(program);
            const ProgramState after = program;
            history.Record(QString::fromLatin1(kind.name), before);
            QCOMPARE(history.UndoText(), QString::fromLatin1(kind.name));

            QVERIFY2(history.Undo(), kind.name);
            QVERIFY2(program == before, kind.name);
            QVERIFY(!history.CanUndo());
            QCOMPARE(history.RedoText(), QString::fromLatin1(kind.name));
            QVERIFY2(history.Redo(), kind.name);
            QVERIFY2(!DiffersApartFromFlag(program, after), kind.name);
            QVERIFY(program.Modified);
            QCOMPARE(restored.count(), 2);
        }
    }

    void aNewEditAfterUndoDropsWhatWasUndone()
    {
        ProgramState program = Program(3);
        ProgramHistory history(program);
        auto record = [&](const QString& text, const std::function<void()>& edit) {
            const ProgramState before = program;
            edit();
            history.Record(text, before);
        };
        record(QStringLiteral("Add"), [&] { InsertEntry(program, 0, Entry(9)); });
        record(QStringLiteral("Move"), [&] { MoveEntry(program, 0, 2, DragMode::Insert); });
        QVERIFY(history.Undo());
        record(QStringLiteral("Clear"), [&] { ClearEntries(program); });
        QVERIFY(!history.CanRedo());
        QCOMPARE(history.Count(), 2);
        // An edit that changed no slot is not recorded.
        record(QStringLiteral("Clear"), [&] { ClearEntries(program); });
        QCOMPARE(history.Count(), 2);
        QVERIFY(history.Undo() && history.Undo());
        QVERIFY(program == Program(3));
    }

    void modifiedFlagReturnsOnlyWhenNothingElseChanged()
    {
        ProgramState program = Program(2);
        ProgramHistory history(program);
        ProgramState before = program;
        RemoveEntry(program, 0);
        history.Record(QStringLiteral("Remove"), before);
        QVERIFY(history.Undo());
        QVERIFY(!program.Modified);

        // The provider changed meanwhile: the program still differs from the stored one.
        QVERIFY(history.Redo());
        program.Provider = QStringLiteral("Dr. Moss");
        QVERIFY(history.Undo());
        QVERIFY(program.Modified);

        // Stored elsewhere under a new id: going back differs from what is stored.
        program.Provider = QStringLiteral("Dr. Lane");
        QVERIFY(history.Redo());
        program.InvoiceID = 41;
        program.Modified = false;
        QVERIFY(history.Undo());
        QVERIFY(program.Modified);

        // A history that starts from a modified program keeps it modified.
        program = Program(2);
        program.Modified = true;
        history.Reset();
        before = program;
        InsertEntry(program, 0, Entry(7));
        history.Record(QStringLiteral("Add"), before);
        QVERIFY(history.Undo());
        QVERIFY(program == before);
    }

    // Slots changed by something that did not record it (a program loaded elsewhere): the
    // history no longer fits and starts again, leaving the program alone.
    void foreignChangesResetTheHistory()
    {
        ProgramState program = Program(3);
        ProgramHistory history(program);
        QSignalSpy changed(&history, &ProgramHistory::changed);
        const ProgramState before = program;
        RemoveEntry(program, 0);
        history.Record(QStringLiteral("Remove"), before);
        program = Program(5);
        const ProgramState loaded = program;
        QVERIFY(!history.Undo());
        QVERIFY(program == loaded);
        QVERIFY(!history.CanUndo() && !history.CanRedo());
        QVERIFY(changed.count() >= 2);
    }
};

TRAMELLE_TEST_GUILESS_MAIN(TestProgramHistory)
#include "tst_programhistory.moc"
