#include "DbError.h"
#include "ProtocolStore.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

ProgramEntry Entry(int id)
{
    ProgramEntry e;
    e.ExerciseID = id;
    e.code = QStringLiteral("C%1").arg(id);
    e.AbbrevDesc = QStringLiteral("Ex%1").arg(id);
    e.Desc = QStringLiteral("Exercise %1 \"slowly\"").arg(id);
    e.Reps = qint16(10 + id);
    e.Hold = 5;
    e.Sets = 2;
    e.Icon = QStringLiteral("%1.JPG").arg(id);
    e.Instruct0 = QStringLiteral("Don't lock the knee");
    e.HasVideo = id % 2 == 0;
    e.VideoSets = 3;
    // Movie, pictures and the other instructions are null strings, as a library row
    // without them gives.
    return e;
}

ProgramState Program(const QList<int>& ids)
{
    ProgramState p;
    for (int id : ids)
        p.Entries[static_cast<size_t>(p.EntryCount++)] = Entry(id);
    return p;
}

qint64 Count(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = Exec(db, sql, values);
    return q.next() ? q.value(0).toLongLong() : -1;
}

QList<qint32> Ids(const QList<ProgramEntry>& rows)
{
    QList<qint32> ids;
    for (const ProgramEntry& e : rows)
        ids << e.ExerciseID;
    return ids;
}

} // namespace

class TestProtocolStore : public QObject
{
    Q_OBJECT

private slots:
    void storedProtocolReadsBackWhole()
    {
        TestContext tc;
        const QSqlDatabase db = tc->Db.MainDb();
        ProgramState p = Program({3, 1, 2});
        p.Entries[0].Joint = QStringLiteral("Knee"); // not stored with a protocol
        const QString name = QStringLiteral("  Post-op knee, week 1 (\"Dr's\")  ");
        const qint32 id = SaveProtocolAs(db, name, p);

        QCOMPARE(ListProtocols(db), (QList<ProtocolListItem>{
                                        {id, QStringLiteral("Post-op knee, week 1 (\"Dr's\")")}}));
        const QList<ProgramEntry> rows = ReadProtocol(db, id);
        QCOMPARE(rows.size(), 3);
        p.Entries[0].Joint.clear();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rows.at(i), p.Entries[static_cast<size_t>(i)]);
        QCOMPARE(ProtocolExerciseDescs(db, id).first(), QStringLiteral("Exercise 3 \"slowly\""));

        // An empty program stores the name alone; id 0 ("(None Selected)") is empty.
        const qint32 empty = SaveProtocolAs(db, QStringLiteral("Empty"), ProgramState{});
        QVERIFY(ReadProtocol(db, empty).isEmpty());
        QCOMPARE(Count(db,
                       QStringLiteral("SELECT COUNT(*) FROM ProtocolExercise WHERE ProtocolID = ?"),
                       {empty}),
                 0);
        QVERIFY(ReadProtocol(db, 0).isEmpty());
    }

    void listIsInNameOrderThenByID()
    {
        TestContext tc;
        const QSqlDatabase db = tc->Db.MainDb();
        const qint32 b1 = SaveProtocolAs(db, QStringLiteral("Back"), {});
        const qint32 a = SaveProtocolAs(db, QStringLiteral("ankle"), {});
        const qint32 b2 = SaveProtocolAs(db, QStringLiteral("Back"), {});
        const qint32 c = SaveProtocolAs(db, QStringLiteral("Cervical"), {});
        QList<qint32> ids;
        for (const ProtocolListItem& item : ListProtocols(db))
            ids << item.ProtocolID;
        QCOMPARE(ids, (QList<qint32>{a, b1, b2, c}));
    }

    void badRowsAreRefusedWhole_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("refused");
        QTest::newRow("exactly 20") << QString() << false;
        QTest::newRow("21 rows")
            << QStringLiteral("INSERT INTO ProtocolExercise SELECT * FROM ProtocolExercise "
                              "WHERE RankOnTape = 19; UPDATE ProtocolExercise SET RankOnTape = 20 "
                              "WHERE rowid = (SELECT MAX(rowid) FROM ProtocolExercise)")
            << true;
        QTest::newRow("null text")
            << QStringLiteral("UPDATE ProtocolExercise SET Desc = NULL WHERE RankOnTape = 7")
            << true;
        QTest::newRow("null number")
            << QStringLiteral("UPDATE ProtocolExercise SET VideoHold = NULL WHERE RankOnTape = 3")
            << true;
        QTest::newRow("gap")
            << QStringLiteral("UPDATE ProtocolExercise SET RankOnTape = 25 WHERE RankOnTape = 10")
            << true;
        QTest::newRow("duplicate")
            << QStringLiteral("UPDATE ProtocolExercise SET RankOnTape = 4 WHERE RankOnTape = 5")
            << true;
    }
    void badRowsAreRefusedWhole()
    {
        QFETCH(QString, damage);
        QFETCH(bool, refused);
        TestContext tc;
        const QSqlDatabase db = tc->Db.MainDb();
        QList<int> twenty;
        for (int i = 1; i <= 20; ++i)
            twenty << i;
        const qint32 id = SaveProtocolAs(db, QStringLiteral("Full"), Program(twenty));
        for (const QString& statement : damage.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            Exec(db, statement);
        try {
            const QList<ProgramEntry> rows = ReadProtocol(db, id);
            QVERIFY(!refused);
            QCOMPARE(Ids(rows).size(), 20);
            QCOMPARE(rows.last().ExerciseID, 20);
        } catch (const DbError& e) {
            QVERIFY2(refused, qPrintable(e.message()));
            QVERIFY(!e.message().isEmpty());
        }
    }

    void editedProtocolReplacesTheOldOneAtomically()
    {
        TestContext tc;
        const QSqlDatabase db = tc->Db.MainDb();
        const qint32 old = SaveProtocolAs(db, QStringLiteral("Hip"), Program({1, 2, 3}));
        const qint32 other = SaveProtocolAs(db, QStringLiteral("Other"), Program({9}));

        const qint32 edited = SaveProtocolAs(db, QStringLiteral("Hip"), Program({3, 1}), old);
        QVERIFY(edited != old);
        QCOMPARE(ListProtocols(db), (QList<ProtocolListItem>{{edited, QStringLiteral("Hip")},
                                                             {other, QStringLiteral("Other")}}));
        QCOMPARE(Ids(ReadProtocol(db, edited)), (QList<qint32>{3, 1}));
        QCOMPARE(Count(db,
                       QStringLiteral("SELECT COUNT(*) FROM ProtocolExercise WHERE ProtocolID = ?"),
                       {old}),
                 0);

        // A failure on the second exercise stores nothing and deletes nothing.
        Exec(db,
             QStringLiteral(
                 "CREATE TRIGGER refuse BEFORE INSERT ON ProtocolExercise WHEN NEW.RankOnTape = 1 "
                 "BEGIN SELECT RAISE(ABORT, 'disk says no'); END"));
        QVERIFY_THROWS_EXCEPTION(
            DbError, SaveProtocolAs(db, QStringLiteral("Hip"), Program({5, 6}), edited));
        QCOMPARE(Count(db, QStringLiteral("SELECT COUNT(*) FROM Protocol")), 2);
        QCOMPARE(Ids(ReadProtocol(db, edited)), (QList<qint32>{3, 1}));
    }

    void deleteTakesTheExercisesAlong()
    {
        TestContext tc;
        const QSqlDatabase db = tc->Db.MainDb();
        const qint32 gone = SaveProtocolAs(db, QStringLiteral("Gone"), Program({1, 2}));
        const qint32 kept = SaveProtocolAs(db, QStringLiteral("Kept"), Program({3}));
        DeleteProtocol(db, gone);
        QCOMPARE(ListProtocols(db).size(), 1);
        QCOMPARE(Count(db,
                       QStringLiteral("SELECT COUNT(*) FROM ProtocolExercise WHERE ProtocolID = ?"),
                       {gone}),
                 0);
        QCOMPARE(Ids(ReadProtocol(db, kept)), (QList<qint32>{3}));
    }

    void applyReplacesOrAppendsWithinTwenty()
    {
        QList<int> fifteen;
        for (int i = 1; i <= 15; ++i)
            fifteen << i;
        ProgramState p = Program(fifteen);
        p.Modified = false;
        const ProgramState before = p;
        QList<ProgramEntry> six;
        for (int i = 31; i <= 36; ++i)
            six << Entry(i);

        // Past 20 is refused whole.
        QVERIFY(!ApplyProtocol(p, six, ProtocolApply::Append));
        QVERIFY(p == before);

        six.removeLast();
        QVERIFY(ApplyProtocol(p, six, ProtocolApply::Append));
        QCOMPARE(p.EntryCount, qint16(20));
        QCOMPARE(p.Entries[14].ExerciseID, 15);
        QCOMPARE(p.Entries[15].ExerciseID, 31);
        QCOMPARE(p.Entries[19].ExerciseID, 35);

        QVERIFY(ApplyProtocol(p, six.mid(0, 2), ProtocolApply::Replace));
        QCOMPARE(p.EntryCount, qint16(2));
        QCOMPARE(p.Entries[1].ExerciseID, 32);
        QVERIFY(ApplyProtocol(p, {}, ProtocolApply::Replace));
        QCOMPARE(p.EntryCount, qint16(0));
        QVERIFY(!p.Modified);
    }
};

TRAMELLE_TEST_MAIN(TestProtocolStore)
#include "tst_protocolstore.moc"
