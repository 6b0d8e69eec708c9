#include "DbError.h"
#include "ProgramState.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "TextHelpers.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <stdexcept>

using namespace tramelle;
using namespace tramelle::test;

class TestTextHelpers : public QObject
{
    Q_OBJECT

private slots:
    void nullConversions()
    {
        QCOMPARE(NullToText(QVariant()), QString());
        QCOMPARE(NullToText(QVariant(QMetaType::fromType<QString>())), QString());
        QCOMPARE(NullToText(0), QStringLiteral("0"));
        QCOMPARE(NullToText(QStringLiteral("O'Brien")), QStringLiteral("O'Brien"));
        QCOMPARE(NullToInteger(QVariant()).Value(), qint16(0));
        QCOMPARE(NullToInteger(QVariant(QMetaType::fromType<qlonglong>())).Value(), qint16(0));
    }

    void nullToIntegerReadsTheLeadingNumberHalvesToEven_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("7.5") << QVariant(QStringLiteral("7.5")) << 8;
        QTest::newRow("8.5") << QVariant(QStringLiteral("8.5")) << 8;
        QTest::newRow("-2.5") << QVariant(QStringLiteral("-2.5")) << -2;
        QTest::newRow("12abc") << QVariant(QStringLiteral("12abc")) << 12;
        QTest::newRow("abc") << QVariant(QStringLiteral("abc")) << 0;
        QTest::newRow("blanks") << QVariant(QStringLiteral("  42 reps")) << 42;
        QTest::newRow("exponent") << QVariant(QStringLiteral("1e3x")) << 1000;
        QTest::newRow("bare e") << QVariant(QStringLiteral("5e")) << 5;
        QTest::newRow("integer") << QVariant(qlonglong(-32768)) << -32768;
        QTest::newRow("double") << QVariant(6.5) << 6;
        QTest::newRow("max") << QVariant(QStringLiteral("32767.4")) << 32767;
    }
    void nullToIntegerReadsTheLeadingNumberHalvesToEven()
    {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        QCOMPARE(int(NullToInteger(value).Value()), expected);
    }

    void nullToIntegerReportsOverflow()
    {
        const QVariant tooBig[] = {QVariant(40000), QVariant(QStringLiteral("32767.5")),
                                   QVariant(QStringLiteral("-32769")), QVariant(qlonglong(1) << 40),
                                   QVariant(QStringLiteral("1e400"))};
        for (const QVariant& v : tooBig) {
            const Result<qint16> n = NullToInteger(v);
            QVERIFY2(!n, qPrintable(v.toString()));
            QCOMPARE(
                n.Reason(),
                QStringLiteral("Overflow: %1 does not fit a 16-bit integer").arg(v.toString()));
        }
        // A stored value that does not fit is an error of the data file.
        QVERIFY_THROWS_EXCEPTION(DbError, StoredInteger(QVariant(40000)));
        QCOMPARE(StoredInteger(QVariant(-7)), qint16(-7));
    }

    void datesReadWithTheirDefault()
    {
        const QDateTime def(QDate(1990, 1, 1), QTime(0, 0));
        QCOMPARE(ToDateOrDefault(QVariant()), def);
        QCOMPARE(ToDateOrDefault(QStringLiteral("no date")), def);
        QCOMPARE(ToDateOrDefault(QStringLiteral("")), def);
        QCOMPARE(ToDateOrDefault(QStringLiteral("2026-12-08T10:30:15")),
                 QDateTime(QDate(2026, 12, 8), QTime(10, 30, 15)));
        QCOMPARE(ToDateOrDefault(QStringLiteral("2026-12-08")),
                 QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
        // The short form of the locale, two-digit years in 1930 to 2029.
        QCOMPARE(ToDateOrDefault(QStringLiteral("12/8/26")),
                 QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
        QCOMPARE(ToDateOrDefault(QStringLiteral("12/8/45")),
                 QDateTime(QDate(1945, 12, 8), QTime(0, 0)));
        QCOMPARE(ToDateOrDefault(QDate(2001, 2, 3)), QDateTime(QDate(2001, 2, 3), QTime(0, 0)));

        // A card date may be empty: it stays empty instead of becoming 1990.
        QVERIFY(!ToNullableDate(QVariant()).isValid());
        QVERIFY(!ToNullableDate(QStringLiteral(" ")).isValid());
        QCOMPARE(ToNullableDate(QStringLiteral("junk")), def);
        QVERIFY(DateToDb(QDateTime()).isNull());
        QCOMPARE(DateToDb(QDate(2026, 3, 4).startOfDay()).toString(),
                 QStringLiteral("2026-03-04T00:00:00"));
    }

    void minAndMax()
    {
        QCOMPARE(MinInteger(-3, 2), qint16(-3));
        QCOMPARE(MaxInteger(-3, 2), qint16(2));
    }

    void entryTexts()
    {
        ProgramState p;
        ProgramEntry& e = p.Entries[3];
        e.AbbrevDesc = QStringLiteral("Heel raise");
        e.Desc = QStringLiteral("Heel raise standing");
        e.Reps = 10;
        e.Hold = 30;
        e.Sets = 2;
        QCOMPARE(EntryCaption(p, 3), QStringLiteral("Heel raise\n10r/30s/2x"));
        QCOMPARE(EntryDescription(p, 3),
                 QStringLiteral("Heel raise standing, 10 reps, 30 sec hold, 2 set"));
        e.Hold = 0;
        QCOMPARE(EntryCaption(p, 3), QStringLiteral("Heel raise\n10r/2x"));
        QCOMPARE(EntryDescription(p, 3), QStringLiteral("Heel raise standing, 10 reps, 2 set"));
        e.Hold = -5;
        QCOMPARE(EntryCaption(p, 3), QStringLiteral("Heel raise\n10r/-5s/2x"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, EntryCaption(p, 20));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, EntryDescription(p, -1));
    }

    void splitCommaList()
    {
        QCOMPARE(SplitCommaList(QStringLiteral("a, b,,c ,")), (QStringList{"a", "b", "c"}));
        QCOMPARE(SplitCommaList(QString()), QStringList());
        QCOMPARE(SplitCommaList(QStringLiteral(" , ,, ")), QStringList());
        QCOMPARE(SplitCommaList(QStringLiteral("  Knee  ")), QStringList{"Knee"});
        QCOMPARE(SplitCommaList(QStringLiteral(",Hip , Knee")), (QStringList{"Hip", "Knee"}));
    }

    void limitTextLines()
    {
        const QString six = QStringLiteral("1\n2\n3\n4\n5\n6");
        const LimitedText cut = LimitTextLines(six, 11);
        QVERIFY(cut.Changed);
        QCOMPARE(cut.Text, QStringLiteral("1\n2\n3\n4\n5"));
        QCOMPARE(cut.Caret, 9);
        // A text box may hand CR LF: each pair is one break.
        const LimitedText crlf = LimitTextLines(QStringLiteral("a\r\nb\r\nc\r\nd\r\ne\r\nf"), 0);
        QCOMPARE(crlf.Text, QStringLiteral("a\r\nb\r\nc\r\nd\r\ne"));
        QCOMPARE(crlf.Caret, crlf.Text.size());
        // Five lines (four breaks) stay as they are, caret included; so does an empty fifth line.
        const LimitedText five = LimitTextLines(QStringLiteral("1\n2\n3\n4\n5"), 2);
        QVERIFY(!five.Changed);
        QCOMPARE(five.Text, QStringLiteral("1\n2\n3\n4\n5"));
        QCOMPARE(five.Caret, 2);
        QCOMPARE(LimitTextLines(QStringLiteral("1\n2\n3\n4\n"), 0).Text,
                 QStringLiteral("1\n2\n3\n4\n"));
        QCOMPARE(LimitTextLines(QStringLiteral("1\n2\n3\n4\n5\n"), 0).Text,
                 QStringLiteral("1\n2\n3\n4\n5"));
    }

    // Limits count what the column holds: one per character, two per line break.
    void storedLengthCountsAsTheColumnDoes()
    {
        const QString grin = QStringLiteral("\U0001F600"); // two UTF-16 units, one character
        QCOMPARE(StoredLength(grin.repeated(30)), 30);
        QCOMPARE(StoredLength(QStringLiteral("a\nb")), 4);
        QCOMPARE(StoredLength(QStringLiteral("a\r\nb\rc")), 7); // a lone CR is stored as CR LF
        QCOMPARE(StoredLength(QString(QChar(0xD83D))), 1);      // a lone half still takes its place

        // The engine's own count agrees, and a text cut by the rule is stored whole.
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("length"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        {
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE t (v TEXT CHECK (length(v) <= 40))")));
            const QString provider = QStringLiteral("Dr ") + grin.repeated(45);
            const QString kept = LeftStored(provider, 40);
            QCOMPARE(kept, QStringLiteral("Dr ") + grin.repeated(37));
            QVERIFY(q.prepare(QStringLiteral("INSERT INTO t VALUES (?)")));
            q.addBindValue(kept);
            QVERIFY(q.exec());
            QVERIFY(q.exec(QStringLiteral("SELECT v, length(v) FROM t")) && q.next());
            QCOMPARE(q.value(0).toString(), kept);
            QCOMPARE(q.value(1).toLongLong(), StoredLength(kept));
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("length"));
    }

    void leftStoredCutsBetweenCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("kept");
        const QString grin = QStringLiteral("\U0001F600");
        const QString eAcute = QStringLiteral("e\u0301"); // e and a combining accent
        const QString flag = QStringLiteral("\U0001F1EB\U0001F1F7");
        QTest::newRow("fits") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
        QTest::newRow("plain cut") << QStringLiteral("abcdef") << 4 << QStringLiteral("abcd");
        QTest::newRow("emoji at the end")
            << (QStringLiteral("abc") + grin) << 3 << QStringLiteral("abc");
        QTest::newRow("emoji counts one") << (QStringLiteral("ab") + grin + QStringLiteral("c"))
                                          << 3 << (QStringLiteral("ab") + grin);
        QTest::newRow("accent stays with its letter")
            << (QStringLiteral("caf") + eAcute) << 4 << QStringLiteral("caf");
        QTest::newRow("flag whole or not at all")
            << (QStringLiteral("a") + flag) << 2 << QStringLiteral("a");
        QTest::newRow("line break is two") << QStringLiteral("ab\ncd") << 3 << QStringLiteral("ab");
        QTest::newRow("CR LF never split")
            << QStringLiteral("ab\r\ncd") << 3 << QStringLiteral("ab");
        QTest::newRow("nothing") << QStringLiteral("abc") << 0 << QString();
    }
    void leftStoredCutsBetweenCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, kept);
        QCOMPARE(LeftStored(text, limit), kept);
    }

    void fitStoredLengthCutsWhatWasPutIn()
    {
        const QString grin = QStringLiteral("\U0001F600");
        const QString wink = QStringLiteral("\U0001F609"); // shares its first half with grin
        const QString full = QString(9, QLatin1Char('a'));

        // One short of the limit: an emoji fits (it is one character), a second one does
        // not, and neither is cut in half.
        QVERIFY(!FitStoredLength(full, full + grin, 11, 10).Changed);
        LimitedText r = FitStoredLength(full, full + grin + grin, 13, 10);
        QVERIFY(r.Changed);
        QCOMPARE(r.Text, full + grin);
        QCOMPARE(r.Caret, 11);

        // A paste in the middle keeps what fits of it, and what was around it.
        r = FitStoredLength(QStringLiteral("abcd"),
                            QStringLiteral("ab") + grin.repeated(8) + QStringLiteral("cd"), 18, 8);
        QCOMPARE(r.Text, QStringLiteral("ab") + grin.repeated(4) + QStringLiteral("cd"));
        QCOMPARE(r.Caret, 2 + 8);

        // One emoji replaced by another over a full box: never half of either.
        const QString before = QString(7, QLatin1Char('a')) + grin;
        r = FitStoredLength(before, QString(7, QLatin1Char('a')) + wink + wink, 11, 8);
        QCOMPARE(r.Text, QString(7, QLatin1Char('a')) + wink);

        // A line break typed into a box one short is refused: it takes two.
        r = FitStoredLength(full, full + QStringLiteral("\n"), 10, 10);
        QCOMPARE(r.Text, full);

        // A text that came in too long may be shortened, but not lengthened.
        const QString tooLong = QString(12, QLatin1Char('a'));
        QVERIFY(!FitStoredLength(tooLong, tooLong.left(11), 11, 10).Changed);
        QCOMPARE(FitStoredLength(tooLong, tooLong + QStringLiteral("b"), 13, 10).Text, tooLong);
    }

    void coverText()
    {
        TestContext t(false);
        const QString path = t.Folder() + QStringLiteral("/cover.txt");
        QCOMPARE(ReadCoverText(*t).Value(), QString());
        auto write = [&](const QByteArray& bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        };
        write("");
        QCOMPARE(ReadCoverText(*t).Value(), QString());
        write("Dear patient,\nyour program\n");
        QCOMPARE(ReadCoverText(*t).Value(), QStringLiteral("Dear patient,\r\nyour program\r\n"));
        write("One\r\n\r\nThree");
        QCOMPARE(ReadCoverText(*t).Value(), QStringLiteral("One\r\n\r\nThree\r\n"));
        write("Caf\xe9");
        QCOMPARE(ReadCoverText(*t).Value(), QStringLiteral("Caf\u00e9\r\n"));

        // A file that cannot be read is a reason naming it, not an exception.
        // (A process's own memory file refuses a read at address 0, even for root.)
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path));
        const Result<QString> unreadable = ReadCoverText(*t);
        QVERIFY(!unreadable);
        QVERIFY(unreadable.Reason().startsWith(
            QStringLiteral("Cannot read \"%1\": ").arg(QDir::toNativeSeparators(path))));
    }
};

TRAMELLE_TEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
