#include "AppContext.h"
#include "DbError.h"
#include "LibraryCache.h"
#include "LibraryFilterValues.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

struct Row
{
    qint32 id;
    QString abbrev;
    QVariant joint;
    QString motion;
    QString type;
};

// Replaces the library of the test's files by the given rows.
void FillLibrary(AppContext& ctx, const QList<Row>& rows)
{
    const QSqlDatabase db = ctx.Db.LibraryDb();
    Exec(db, QStringLiteral("DELETE FROM ExerciseLibrary"));
    for (const Row& r : rows) {
        Exec(db,
             QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, code, Desc, AbbrevDesc, "
                            "Joint, Motion, Type, "
                            "Reps, Hold, Sets, Instruct0, HasVideo, VideoReps, VideoSets) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, 10, 5, 2, ?, 1, 12, 3)"),
             {r.id, QStringLiteral("C%1").arg(r.id),
              QStringLiteral("Description of %1").arg(r.abbrev), r.abbrev, r.joint, r.motion,
              r.type, QStringLiteral("Keep your back straight")});
    }
}

QStringList Abbrevs(const AppContext& ctx)
{
    QStringList list;
    for (const LibraryEntry& e : ctx.Library.Entries)
        list << e.AbbrevDesc;
    return list;
}

const QList<Row> SampleRows = {
    {385, QStringLiteral("knee bend"), QStringLiteral("Knee"), QStringLiteral("Flexion"),
     QStringLiteral("Strength")},
    {12, QStringLiteral("Ankle pump"), QStringLiteral("Ankle"), QStringLiteral("Flexion"),
     QStringLiteral("ROM")},
    {40, QStringLiteral("Hip hike"), QStringLiteral("Hip, Knee"), QStringLiteral("Abduction"),
     QStringLiteral("Strength")},
    {41, QStringLiteral("Neck tilt"), QVariant(), QStringLiteral("Flexion"),
     QStringLiteral("Stretch")},
    {42, QStringLiteral("O'Brien's press"), QStringLiteral("Shoulder 100%"),
     QStringLiteral("Press'up"), QStringLiteral("Strength")},
};

} // namespace

class TestLibraryCache : public QObject
{
    Q_OBJECT

private slots:
    void wholeLibraryInDescriptionOrder()
    {
        TestContext t;
        FillLibrary(*t, SampleRows);
        t->Library.DragMode = DragMode::Replace;
        QVERIFY(LoadLibraryCache(*t));
        QCOMPARE(t->Library.LibraryCount, qint16(5));
        QCOMPARE(t->Library.Entries.size(), 5);
        QVERIFY(t->Library.DragMode == DragMode::Insert);
        // Letter case does not decide the order.
        QCOMPARE(Abbrevs(*t), (QStringList{"Ankle pump", "Hip hike", "knee bend", "Neck tilt",
                                           "O'Brien's press"}));

        const LibraryEntry& knee = t->Library.Entries[2];
        QCOMPARE(knee.ExerciseID, 385);
        QCOMPARE(knee.code, QStringLiteral("C385"));
        QCOMPARE(knee.Desc, QStringLiteral("Description of knee bend"));
        QCOMPARE(knee.Reps, qint16(10));
        QCOMPARE(knee.Hold, qint16(5));
        QCOMPARE(knee.Sets, qint16(2));
        QCOMPARE(knee.Instruct0, QStringLiteral("Keep your back straight"));
        QVERIFY(knee.HasVideo);
        QCOMPARE(knee.VideoReps, qint16(12));
        QCOMPARE(knee.VideoSets, qint16(3));
        // Nulls read as empty texts and 0.
        QCOMPARE(knee.Instruct1, QString());
        QCOMPARE(knee.VideoHold, qint16(0));
        QCOMPARE(t->Library.Entries[3].Joint, QString());
    }

    void cacheOrderIsTheEnginesCaseBlindOrder()
    {
        TestContext t;
        QList<Row> rows;
        const QStringList names{"b", "_under",        "Ab", "aa", "[x", "Zed", "ab",
                                "",  "\u00e9t\u00e9", "Ab", "a b"};
        int id = 900;
        for (const QString& n : names)
            rows.append({id--, n, QStringLiteral("Knee"), QStringLiteral("Flexion"),
                         QStringLiteral("ROM")});
        FillLibrary(*t, rows);
        QVERIFY(LoadLibraryCache(*t));
        QSqlQuery q = Exec(t->Db.LibraryDb(),
                           QStringLiteral("SELECT ExerciseID FROM ExerciseLibrary "
                                          "ORDER BY AbbrevDesc COLLATE NOCASE, ExerciseID"));
        QList<qint32> expected;
        while (q.next())
            expected << q.value(0).toInt();
        QList<qint32> cached;
        for (const LibraryEntry& e : t->Library.Entries)
            cached << e.ExerciseID;
        QCOMPARE(cached, expected);
    }

    void filterSelectsJointsMotionsAndTypes()
    {
        TestContext t;
        FillLibrary(*t, SampleRows);
        auto filtered = [&](const LibraryFilter& f) {
            t->Db.LibraryRecordset.Filter = f;
            t->Library.DragMode = DragMode::Replace;
            if (!LoadLibraryCacheFiltered(*t))
                return QStringList{QStringLiteral("not loaded")};
            // The filter leaves the drop mode alone.
            if (t->Library.DragMode != DragMode::Replace)
                return QStringList{QStringLiteral("DragMode reset")};
            if (t->Library.LibraryCount != t->Library.Entries.size())
                return QStringList{QStringLiteral("count differs")};
            return Abbrevs(*t);
        };
        // A joint is contained anywhere in the Joint text, letter case ignored; a null joint fails.
        QCOMPARE(filtered({{"knee"}, {}, {}}), (QStringList{"Hip hike", "knee bend"}));
        QCOMPARE(filtered({{"ANKLE", "hip"}, {}, {}}), (QStringList{"Ankle pump", "Hip hike"}));
        // Motions and types are equal, not contained.
        QCOMPARE(filtered({{}, {"flexion"}, {}}),
                 (QStringList{"Ankle pump", "knee bend", "Neck tilt"}));
        QCOMPARE(filtered({{}, {"Flex"}, {}}), QStringList());
        QCOMPARE(filtered({{"Knee"}, {"Flexion"}, {"Strength", "ROM"}}), QStringList{"knee bend"});
        // Apostrophes and LIKE's wildcards are plain characters.
        QCOMPARE(filtered({{"100%"}, {"Press'up"}, {}}), QStringList{"O'Brien's press"});
        QCOMPARE(filtered({{"_"}, {}, {}}), QStringList());
        QCOMPARE(filtered({{"%"}, {}, {}}), QStringList{"O'Brien's press"});
        // No match: an empty cache. No condition: the whole library.
        QCOMPARE(filtered({{"Elbow"}, {}, {}}), QStringList());
        QCOMPARE(t->Library.LibraryCount, qint16(0));
        QCOMPARE(filtered({}).size(), 5);
    }

    void filterValuesCompareAsValues()
    {
        const LibraryFilter a{{"Knee"}, {}, {"ROM"}};
        LibraryFilter b = a;
        QVERIFY(a == b);
        b.Types << QStringLiteral("Strength");
        QVERIFY(!(a == b));
        const BoundStatement s = LibrarySnapshotStatement(b);
        QCOMPARE(s.Values.size(), 3);
        QVERIFY(!s.Sql.contains(QStringLiteral("Knee")));
    }

    void letterCaseIsIgnoredBeyondAscii()
    {
        TestContext t;
        FillLibrary(*t, {{1, QStringLiteral("a"), QStringLiteral("Épaule"),
                          QStringLiteral("Équilibre"), QStringLiteral("Force")},
                         {2, QStringLiteral("b"), QStringLiteral("épaule, Knee"),
                          QStringLiteral("équilibre"), QStringLiteral("force")},
                         {3, QStringLiteral("c"), QStringLiteral("knee"), QStringLiteral("Flexion"),
                          QStringLiteral("ÉTIREMENT")},
                         {4, QStringLiteral("d"), QVariant(), QStringLiteral("Flexion"),
                          QStringLiteral("Étirement")}});
        // Values differing only in letter case are one row, spelt as first met.
        LibraryColumnValues joints = DistinctLibraryValues(*t, LibraryColumn::Joint, {});
        QCOMPARE(joints.Values, (QStringList{"Épaule", "knee"}));
        QVERIFY(joints.SeveralRows);
        QCOMPARE(DistinctLibraryValues(*t, LibraryColumn::Motion, {}).Values,
                 (QStringList{"Flexion", "Équilibre"}));
        // The lists narrow in cascade under criteria with accented capitals.
        const LibraryColumnValues types =
            DistinctLibraryValues(*t, LibraryColumn::Type, {{}, {"ÉQUILIBRE"}, {}});
        QCOMPARE(types.Values, QStringList{"Force"});
        QVERIFY(!types.SeveralRows); // "Force" and "force" are one text
        QCOMPARE(DistinctLibraryValues(*t, LibraryColumn::Motion, {{"ÉPAULE"}, {}, {}}).Values,
                 QStringList{"Équilibre"});
        // The pool: joints contained, motions and types equal, case folded as text is.
        auto pool = [&](const LibraryFilter& f) {
            t->Db.LibraryRecordset.Filter = f;
            return LoadLibraryCacheFiltered(*t) ? Abbrevs(*t) : QStringList{};
        };
        QCOMPARE(pool({{}, {"équilibre"}, {}}), (QStringList{"a", "b"}));
        QCOMPARE(pool({{"éPAULE"}, {}, {}}), (QStringList{"a", "b"}));
        QCOMPARE(pool({{}, {}, {"étirement"}}), (QStringList{"c", "d"}));
        QCOMPARE(pool({{"KNEE"}, {"Flexion"}, {"Étirement"}}), QStringList{"c"});
    }

    void nullRequiredColumnStopsTheLoad()
    {
        TestContext t;
        FillLibrary(*t, SampleRows);
        Exec(t->Db.LibraryDb(),
             QStringLiteral("UPDATE ExerciseLibrary SET Reps = NULL WHERE ExerciseID = 40"));
        QVERIFY_THROWS_EXCEPTION(DbError, (void)LoadLibraryCache(*t));
        QCOMPARE(t->Library.LibraryCount, qint16(0));
        QVERIFY(t->Library.Entries.isEmpty());

        // More rows than the cache can count are reported, never wrapped round.
        QSqlQuery many =
            Exec(t->Db.LibraryDb(),
                 QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                "WHERE i < 32768) SELECT i AS ExerciseID, i AS code, 1 AS Reps, "
                                "0 AS Hold, 1 AS Sets, 0 AS HasVideo FROM n"));
        QCOMPARE(FillLibraryFromRecordset(*t, many).Reason(),
                 QStringLiteral("Overflow: the library offers more than 32767 exercises"));
        QVERIFY(t->Library.Entries.isEmpty());

        // A library that is not open is a reason, not an exception.
        t->Db.LibraryRecordset.Open = false;
        QCOMPARE(LoadLibraryCache(*t).Reason(), QStringLiteral("The exercise library is not open"));
        t->Db.LibraryRecordset.Open = true;
    }

    void pictureAndIconPaths()
    {
        TestContext t(false);
        t->Settings.PictureFolder = QStringLiteral("/media/cd/PICTURE/");
        t->Settings.IconFolder = QStringLiteral("C:\\VMR\\Icon");
        QCOMPARE(PicturePath(*t, 385, 1), QStringLiteral("/media/cd/PICTURE/385_1.JPG"));
        QCOMPARE(PicturePath(*t, 7, 3), QStringLiteral("/media/cd/PICTURE/7_3.JPG"));
        QCOMPARE(IconPath(*t, 385), QStringLiteral("C:/VMR/Icon/385.JPG"));
    }
};

TRAMELLE_TEST_MAIN(TestLibraryCache)
#include "tst_librarycache.moc"
