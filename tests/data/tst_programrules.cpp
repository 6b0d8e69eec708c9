#include "ProgramRules.h"
#include "ProgramSnapshot.h"
#include "TestMain.h"

#include <QTest>

using namespace tramelle;

namespace {

// A program of `count` entries whose ExerciseIDs are 1 .. count.
ProgramState Program(int count)
{
    ProgramState p;
    for (int i = 0; i < count; ++i)
        p.Entries.at(static_cast<size_t>(i)).ExerciseID = i + 1;
    p.EntryCount = static_cast<qint16>(count);
    return p;
}

QList<qint32> Ids(const ProgramState& p)
{
    QList<qint32> ids;
    for (int i = 0; i < p.EntryCount; ++i)
        ids << p.Entries.at(static_cast<size_t>(i)).ExerciseID;
    return ids;
}

ProgramEntry Entry(qint32 id)
{
    ProgramEntry e;
    e.ExerciseID = id;
    return e;
}

using Changes = QList<SlotChange>;

} // namespace

Q_DECLARE_METATYPE(tramelle::DragMode)

class TestProgramRules : public QObject
{
    Q_OBJECT

private slots:
    void insertBeforeAUsedSlotOrAppend()
    {
        ProgramState p = Program(5);
        ProgramEdit e = InsertEntry(p, 2, Entry(99));
        QCOMPARE(Ids(p), (QList<qint32>{1, 2, 99, 3, 4, 5}));
        QCOMPARE(e.Changes, (Changes{{2, -1}, {3, 2}, {4, 3}, {5, 4}}));
        QVERIFY(p.Modified);
        // An empty slot far below the last entry: appended right after it.
        e = InsertEntry(p, 17, Entry(50));
        QCOMPARE(Ids(p), (QList<qint32>{1, 2, 99, 3, 4, 5, 50}));
        QCOMPARE(e.Changes, (Changes{{6, -1}}));
        // Out of range: nothing.
        p.Modified = false;
        QVERIFY(InsertEntry(p, -1, Entry(7)).IsEmpty());
        QVERIFY(InsertEntry(p, MaxProgramEntries, Entry(7)).IsEmpty());
        QCOMPARE(p.EntryCount, qint16(7));
        QVERIFY(!p.Modified);
    }

    void fullProgramRefusesButStillReorders()
    {
        ProgramState p = Program(MaxProgramEntries);
        const ProgramEdit e = InsertEntry(p, 3, Entry(99));
        QVERIFY(e.Refused && e.IsEmpty());
        QCOMPARE(Ids(p), Ids(Program(MaxProgramEntries)));
        QVERIFY(!p.Modified);
        MoveEntry(p, 19, 0, DragMode::Insert);
        QCOMPARE(Ids(p).mid(0, 3), (QList<qint32>{20, 1, 2}));
        QCOMPARE(p.EntryCount, qint16(MaxProgramEntries));
    }

    void moves_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<DragMode>("mode");
        QTest::addColumn<QList<qint32>>("ids");
        QTest::addColumn<Changes>("changes");
        QTest::newRow("insert up") << 4 << 1 << DragMode::Insert << QList<qint32>{1, 5, 2, 3, 4, 6}
                                   << Changes{{1, 4}, {2, 1}, {3, 2}, {4, 3}};
        QTest::newRow("insert down")
            << 1 << 4 << DragMode::Insert << QList<qint32>{1, 3, 4, 5, 2, 6}
            << Changes{{1, 2}, {2, 3}, {3, 4}, {4, 1}};
        QTest::newRow("neighbours") << 2 << 3 << DragMode::Insert << QList<qint32>{1, 2, 4, 3, 5, 6}
                                    << Changes{{2, 3}, {3, 2}};
        QTest::newRow("replace swaps")
            << 1 << 4 << DragMode::Replace << QList<qint32>{1, 5, 3, 4, 2, 6}
            << Changes{{1, 4}, {4, 1}};
        QTest::newRow("replace upwards")
            << 5 << 0 << DragMode::Replace << QList<qint32>{6, 2, 3, 4, 5, 1}
            << Changes{{0, 5}, {5, 0}};
        const QList<qint32> same{1, 2, 3, 4, 5, 6};
        QTest::newRow("onto itself") << 2 << 2 << DragMode::Insert << same << Changes{};
        QTest::newRow("onto an empty slot") << 2 << 8 << DragMode::Replace << same << Changes{};
        QTest::newRow("from an empty slot") << 8 << 2 << DragMode::Insert << same << Changes{};
        QTest::newRow("from before the first") << -1 << 2 << DragMode::Insert << same << Changes{};
    }
    void moves()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(DragMode, mode);
        QFETCH(QList<qint32>, ids);
        QFETCH(Changes, changes);
        ProgramState p = Program(6);
        const ProgramEdit e = MoveEntry(p, from, to, mode);
        QCOMPARE(Ids(p), ids);
        QCOMPARE(e.Changes, changes);
        QCOMPARE(p.Modified, !changes.isEmpty());
        // Every change names where its entry came from.
        const ProgramState before = Program(6);
        for (const SlotChange& c : e.Changes)
            QCOMPARE(p.Entries.at(size_t(c.Slot)).ExerciseID,
                     before.Entries.at(size_t(c.From)).ExerciseID);
    }

    void removeClosesTheGap()
    {
        ProgramState p = Program(4);
        ProgramEdit e = RemoveEntry(p, 1);
        QCOMPARE(Ids(p), (QList<qint32>{1, 3, 4}));
        QCOMPARE(e.Changes, (Changes{{1, 2}, {2, 3}, {3, -1}}));
        // The last entry: only its slot changes, to empty.
        e = RemoveEntry(p, 2);
        QCOMPARE(Ids(p), (QList<qint32>{1, 3}));
        QCOMPARE(e.Changes, (Changes{{2, -1}}));
        p.Modified = false;
        QVERIFY(RemoveEntry(p, 2).IsEmpty());
        QVERIFY(RemoveEntry(p, -1).IsEmpty());
        QVERIFY(!p.Modified);
        e = ClearEntries(p);
        QCOMPARE(p.EntryCount, qint16(0));
        QCOMPARE(e.Changes, (Changes{{0, -1}, {1, -1}}));
        QVERIFY(p.Modified);
    }

    // Going back to an earlier program names the slots that change, and where a picture
    // can be taken from instead of read.
    void restoringSlotsNamesWhatChanged()
    {
        ProgramState p = Program(4);
        for (int i = 0; i < 4; ++i)
            p.Entries.at(static_cast<size_t>(i)).Icon = QString::number(i + 1);
        p.Provider = QStringLiteral("Dr. A");
        const ProgramState full = p;
        RemoveEntry(p, 1);
        p.Provider = QStringLiteral("Dr. B");
        // Slot 1 gets back an entry that is gone (read), 2 and 3 the pictures now in 1 and 2.
        QCOMPARE(RestoreSlots(p, full).Changes, (Changes{{1, -1}, {2, 1}, {3, 2}}));
        QVERIFY(SameSlots(p, full));
        QCOMPARE(p.Provider, QStringLiteral("Dr. B"));
        QVERIFY(DiffersApartFromFlag(p, full));
        p.Provider = full.Provider;
        QVERIFY(!DiffersApartFromFlag(p, full));

        // New parameters keep the picture in place; emptied slots are cleared.
        ProgramState changed = full;
        changed.Entries[2].Reps = 30;
        changed.EntryCount = 3;
        QCOMPARE(RestoreSlots(p, changed).Changes, (Changes{{2, 2}, {3, -1}}));
        QVERIFY(p.Entries == changed.Entries);
        // What lingers in unused slots is no difference.
        changed.Entries[3] = Entry(77);
        QVERIFY(!DiffersApartFromFlag(p, changed));
        QVERIFY(RestoreSlots(p, changed).IsEmpty());
    }

    void stampKeepsWholeSeconds()
    {
        ProgramState p = Program(2);
        const QDateTime now(QDate(2026, 3, 4), QTime(10, 11, 12, 987));
        StampProgram(p, QStringLiteral("Dr A"), QStringLiteral("Home"), now);
        QCOMPARE(p.Date, QDateTime(QDate(2026, 3, 4), QTime(10, 11, 12)));
        QCOMPARE(p.Provider, QStringLiteral("Dr A"));
        QCOMPARE(p.Usage, QStringLiteral("Home"));
        QVERIFY(p.Modified);
        QCOMPARE(Ids(p), (QList<qint32>{1, 2}));
    }
};

TRAMELLE_TEST_GUILESS_MAIN(TestProgramRules)
#include "tst_programrules.moc"
