// Library editing: numbering, the instruction clean-up, storing a row with its files as
// one step, duplicates, and the clinic's own media folders found before the configured ones.
#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LibraryCache.h"
#include "LibraryStore.h"
#include "TestMain.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

LibraryRecord Record(qint32 id, const QString& abbrev)
{
    LibraryRecord r;
    r.Entry.ExerciseID = id;
    r.Entry.code = QString::number(id);
    r.Entry.AbbrevDesc = abbrev;
    r.Entry.Desc = abbrev + QStringLiteral(" long");
    r.Entry.Reps = 10;
    r.Entry.Sets = 1;
    r.Entry.Picture0 = PictureFileName(id, 1);
    r.Entry.Icon = IconFileName(id);
    r.IconSrc = 1;
    return r;
}

void ReplaceLibrary(AppContext& ctx, const QList<qint32>& ids)
{
    Exec(ctx.Db.LibraryDb(), QStringLiteral("DELETE FROM ExerciseLibrary"));
    for (qint32 id : ids)
        QVERIFY(
            StoreExercise(ctx.Db.LibraryDb(), Record(id, QStringLiteral("Ex %1").arg(id)), true));
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QVariant Column(AppContext& ctx, qint32 id, const QString& column)
{
    QSqlQuery q =
        Exec(ctx.Db.LibraryDb(),
             QStringLiteral("SELECT \"%1\" FROM ExerciseLibrary WHERE ExerciseID = ?").arg(column),
             {id});
    return q.next() ? q.value(0) : QVariant(QStringLiteral("<no row>"));
}

} // namespace

class TestLibraryStore : public QObject
{
    Q_OBJECT

private slots:
    void numbering()
    {
        TestContext t;
        ReplaceLibrary(*t, {});
        QCOMPARE(NextExerciseID(t->Db.LibraryDb()).Value(), FirstClinicExercise);
        ReplaceLibrary(*t, {1, 7, 243});
        QCOMPARE(NextExerciseID(t->Db.LibraryDb()).Value(), 100000);
        QVERIFY(StoreExercise(t->Db.LibraryDb(), Record(100000, QStringLiteral("mine")), true));
        QCOMPARE(NextExerciseID(t->Db.LibraryDb()).Value(), 100001);
        // The last number is never wrapped round.
        QVERIFY(StoreExercise(t->Db.LibraryDb(), Record(2147483647, QStringLiteral("last")), true));
        QCOMPARE(NextExerciseID(t->Db.LibraryDb()).Reason(),
                 QStringLiteral("Overflow: no exercise number is left after 2147483647"));
    }

    void cleanText()
    {
        QCOMPARE(StripLineBreaks(QStringLiteral("Bend\r\nthe knee")),
                 QStringLiteral("Bend the knee"));
        QCOMPARE(StripLineBreaks(QStringLiteral("\n\n\n")), QString());

        TestContext t;
        ReplaceLibrary(*t, {300, 301});
        const QSqlDatabase db = t->Db.LibraryDb();
        Exec(db,
             QStringLiteral("UPDATE ExerciseLibrary SET Instruct0 = ?, Instruct1 = ?, Instruct2 = "
                            "NULL WHERE ExerciseID = 300"),
             {QStringLiteral("Bend\r\nthe knee"), QStringLiteral("\n\n")});
        Exec(db, QStringLiteral("UPDATE ExerciseLibrary SET Instruct0 = ? WHERE ExerciseID = 301"),
             {QStringLiteral("a\nb")});

        // One transaction: a row that cannot be written leaves every row as it was.
        Exec(db,
             QStringLiteral(
                 "CREATE TRIGGER refuse BEFORE UPDATE ON ExerciseLibrary WHEN OLD.ExerciseID = 301 "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        QVERIFY_THROWS_EXCEPTION(DbError, CleanInstructionTexts(db));
        QCOMPARE(Column(*t, 300, QStringLiteral("Instruct0")).toString(),
                 QStringLiteral("Bend\r\nthe knee"));

        Exec(db, QStringLiteral("DROP TRIGGER refuse"));
        QCOMPARE(CleanInstructionTexts(db), 2);
        QCOMPARE(Column(*t, 300, QStringLiteral("Instruct0")).toString(),
                 QStringLiteral("Bend the knee"));
        QCOMPARE(Column(*t, 300, QStringLiteral("Instruct1")).toString(), QString());
        QVERIFY(Column(*t, 300, QStringLiteral("Instruct2")).isNull());
        QCOMPARE(Column(*t, 301, QStringLiteral("Instruct0")).toString(), QStringLiteral("ab"));
    }

    // A row and its icon go in together; a refused write leaves the old row and icon.
    void storeWithFilesIsOneStep()
    {
        TestContext t;
        ReplaceLibrary(*t, {100000});
        const QString icon = ClinicMediaPath(*t, MediaKind::Icon, IconFileName(100000));
        WriteFile(icon, "old icon");
        const QString prepared = icon + QStringLiteral(".new");
        WriteFile(prepared, "new icon");

        const QSqlDatabase db = t->Db.LibraryDb();
        Exec(db, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON ExerciseLibrary "
                                "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        LibraryRecord changed = Record(100000, QStringLiteral("changed"));
        QVERIFY_THROWS_EXCEPTION(DbError, StoreExercise(db, changed, false, {{prepared, icon}}));
        QCOMPARE(ReadAll(icon), QByteArray("old icon"));
        QVERIFY(!QFile::exists(prepared));
        QCOMPARE(Column(*t, 100000, QStringLiteral("AbbrevDesc")).toString(),
                 QStringLiteral("Ex 100000"));

        Exec(db, QStringLiteral("DROP TRIGGER refuse"));
        WriteFile(prepared, "new icon");
        QVERIFY(StoreExercise(db, changed, false, {{prepared, icon}}));
        QCOMPARE(ReadAll(icon), QByteArray("new icon"));
        QCOMPARE(Column(*t, 100000, QStringLiteral("AbbrevDesc")).toString(),
                 QStringLiteral("changed"));
        QCOMPARE(QDir(QFileInfo(icon).path()).entryList(QDir::Files),
                 QStringList{IconFileName(100000)});

        // A row that is gone is not silently "stored".
        QCOMPARE(StoreExercise(db, Record(123456, QStringLiteral("x")), false).Reason(),
                 QStringLiteral("The exercise 123456 is no longer in the library"));

        // A file that cannot be put in place is a reason, and the row stays as it was.
        const QString nowhere = t.Folder() + QStringLiteral("/missing/x.JPG");
        WriteFile(prepared, "picture");
        const Outcome refused = StoreExercise(db, Record(100000, QStringLiteral("again")), false,
                                              {{prepared, nowhere}});
        QCOMPARE(refused.Reason(), QStringLiteral("Cannot write \"%1\": the new file could not be "
                                                  "renamed into place")
                                       .arg(QDir::toNativeSeparators(nowhere)));
        QVERIFY(!QFile::exists(prepared));
        QCOMPARE(Column(*t, 100000, QStringLiteral("AbbrevDesc")).toString(),
                 QStringLiteral("changed"));
    }

    // The clinic's folder first, the configured (read-only) one second; a duplicate's
    // files go to the clinic's folders only.
    void clinicMediaAndDuplicate()
    {
        TestContext t;
        QTemporaryDir product;
        t->Settings.PictureFolder = product.path() + QStringLiteral("/PICTURE/");
        t->Settings.IconFolder = product.path() + QStringLiteral("/ICON/");
        WriteFile(product.path() + QStringLiteral("/PICTURE/300_1.JPG"), "delivered 1");
        WriteFile(product.path() + QStringLiteral("/ICON/300.JPG"), "delivered icon");
        ReplaceLibrary(*t, {300});

        QCOMPARE(PicturePath(*t, 300, 1), product.path() + QStringLiteral("/PICTURE/300_1.JPG"));
        const QString own = ClinicMediaPath(*t, MediaKind::Picture, QStringLiteral("300_1.JPG"));
        QVERIFY(own.startsWith(t.Folder() + QStringLiteral("/Clinic/Picture/")));
        WriteFile(own, "edited 1");
        QCOMPARE(FindMediaFile(*t, MediaKind::Picture, QStringLiteral("300_1.JPG")), own);
        QCOMPARE(PicturePath(*t, 300, 1), own);
        QCOMPARE(FindMediaFile(*t, MediaKind::Picture, QStringLiteral("../300_1.JPG")), QString());

        QFile::setPermissions(product.path() + QStringLiteral("/PICTURE"),
                              QFile::ReadOwner | QFile::ExeOwner);
        const qint32 copy = DuplicateExercise(*t, 300).Value();
        QFile::setPermissions(product.path() + QStringLiteral("/PICTURE"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(copy, 100000);
        QCOMPARE(Column(*t, copy, QStringLiteral("Picture0")).toString(),
                 QStringLiteral("100000_1.JPG"));
        QCOMPARE(Column(*t, copy, QStringLiteral("AbbrevDesc")).toString(),
                 QStringLiteral("Ex 300"));
        QCOMPARE(ReadAll(ClinicMediaPath(*t, MediaKind::Picture, QStringLiteral("100000_1.JPG"))),
                 QByteArray("edited 1"));
        QCOMPARE(ReadAll(ClinicMediaPath(*t, MediaKind::Icon, QStringLiteral("100000.JPG"))),
                 QByteArray("delivered icon"));
        QVERIFY(!QFile::exists(product.path() + QStringLiteral("/PICTURE/100000_1.JPG")));

        // A picture that breaks off while it is read stops the copy: no row, no files.
        // (A process's own memory file refuses a read at address 0, even for root.)
        QVERIFY(QFile::remove(own));
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), own));
        const Result<qint32> broken = DuplicateExercise(*t, 300);
        QVERIFY(broken.Reason().startsWith(
            QStringLiteral("Cannot read \"%1\": ").arg(QDir::toNativeSeparators(own))));
        QVERIFY(!ReadExercise(t->Db.LibraryDb(), 100001));
        QCOMPARE(QDir(QFileInfo(own).path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("100000_1.JPG"), QStringLiteral("300_1.JPG")}));
    }
};

TRAMELLE_TEST_GUILESS_MAIN(TestLibraryStore)
#include "tst_librarystore.moc"
