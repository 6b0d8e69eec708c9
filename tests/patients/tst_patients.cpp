#include "DbError.h"
#include "KeyedListModel.h"
#include "PatientStore.h"
#include "PatientWindows.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

qint32 AddPatient(const QSqlDatabase& db, const QVariant& fullName, const QVariant& id = QString())
{
    return Exec(db, QStringLiteral("INSERT INTO Patient (FullName, ID) VALUES (?, ?)"),
                {fullName, id})
        .lastInsertId()
        .toInt();
}

qint32 AddProgram(const QSqlDatabase& db, const QVariant& patient, const QString& date)
{
    const qint32 invoice =
        Exec(db,
             QStringLiteral(
                 "INSERT INTO Invoice (PatientID, Date, Provider) VALUES (?, ?, 'Dr Who')"),
             {patient, date})
            .lastInsertId()
            .toInt();
    Exec(db,
         QStringLiteral(
             "INSERT INTO Exercise (InvoiceID, RankOnTape, ExerciseID, code, Reps, Hold, Sets,"
             " HasVideo) VALUES (?, 0, 5, 'K5', 10, 3, 2, 0)"),
         {invoice});
    return invoice;
}

int Count(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q = Exec(db, sql, values);
    return q.next() ? q.value(0).toInt() : -1;
}

QPushButton* Button(QWidget* w, int index)
{
    auto* b = w->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_%1").arg(index));
    Q_ASSERT(b);
    return b;
}

// The window's list; its model is checked from the first time a test looks at it.
ReportListView* List(QWidget* w)
{
    auto* list = w->findChild<ReportListView*>(QStringLiteral("lstPatients"));
    if (list)
        CheckModel(list->model());
    return list;
}

QStringList Column(QWidget* w, int column)
{
    QStringList texts;
    const QAbstractItemModel* m = List(w)->model();
    for (int r = 0; r < m->rowCount(); ++r)
        texts << m->index(r, column).data().toString();
    return texts;
}

QString SelectedText(QWidget* w)
{
    const int row = List(w)->SelectedRow();
    return row < 0 ? QString() : List(w)->model()->index(row, 0).data().toString();
}

void ClickRow(QWidget* w, int row, bool twice = false)
{
    ReportListView* list = List(w);
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    if (twice) {
        // A double click is a click followed by a second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    } else
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
}

void ClickHeader(QWidget* w, int column)
{
    QHeaderView* h = List(w)->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
}

QDialog* EditDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmEditPatient") && w->isVisible())
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

void TypeInto(QWidget* dialog, const char* name, const QString& text)
{
    auto* t = dialog->findChild<QLineEdit*>(QLatin1String(name));
    Q_ASSERT(t);
    t->setText(text);
}

} // namespace

class TestPatients : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w))
                delete w;
    }

    void fullNameJoinsLastAndFirst_data()
    {
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("full");
        QTest::newRow("both") << "Smith"
                              << "Ann"
                              << "Smith, Ann";
        QTest::newRow("neither") << ""
                                 << ""
                                 << ",";
        QTest::newRow("first only") << ""
                                    << "Ann"
                                    << ", Ann";
        QTest::newRow("last only") << "Smith"
                                   << ""
                                   << "Smith,";
        QTest::newRow("outer blanks") << "  Smith"
                                      << "Ann  "
                                      << "Smith, Ann";
    }
    void fullNameJoinsLastAndFirst()
    {
        QFETCH(QString, last);
        QFETCH(QString, first);
        QFETCH(QString, full);
        QCOMPARE(FullName(last, first), full);
    }

    void emptyTableOpensWithOnlyNewAndCancel()
    {
        TestContext t;
        t->Program.PatientID = 4; // a patient chosen before is forgotten
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        QCOMPARE(d->windowTitle(), QStringLiteral("Select a Patient"));
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{0});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});
        QVERIFY(!t->Program.PatientID);
        QStringList captions;
        QList<bool> enabled;
        for (int i = 0; i < 5; ++i) {
            captions << Button(d, i)->text();
            QCOMPARE(Button(d, i)->property("tag").toString(), Button(d, i)->text());
            enabled << Button(d, i)->isEnabled();
        }
        QCOMPARE(captions, QStringList({"OK", "Cancel", "New", "Edit", "Delete"}));
        QCOMPARE(enabled, QList<bool>({false, true, true, false, false}));
        QCOMPARE(List(d)->SelectedRow(), -1);

        // "Edit" and "Delete" reached without a row do nothing.
        Button(d, 3)->setEnabled(true);
        Button(d, 3)->click();
        QVERIFY(d->isVisible());
        QVERIFY(!EditDialog());

        Button(d, 1)->click();
        QVERIFY(!d->isVisible());
        QVERIFY(!t->Program.PatientID);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 1}));
        QCOMPARE(t.MainWindow.MenuStates, QList<int>({0, 2}));
        QCOMPARE(t.MainWindow.CaptionUpdates, 1);
        QCOMPARE(t.MainWindow.StatusTexts.last(), QStringLiteral("Status: Ready"));
        QVERIFY(t.Prompt.Records.isEmpty());
    }

    void closeBoxActsAsCancel()
    {
        TestContext t;
        AddPatient(t->Db.MainDb(), "Smith, Ann");
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        d->close();
        QVERIFY(!d->isVisible());
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 1}));
        QCOMPARE(t.MainWindow.MenuStates, QList<int>({0, 2}));
        QVERIFY(!t->Program.PatientID);
    }

    void listShowsSortsAndFindsPatients()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        AddPatient(db, "Young, Zoë", "B-7");
        AddPatient(db, QVariant(), QVariant()); // null cells show empty
        const qint32 obrien = AddPatient(db, "O'Brien, \"Jo\"", "A-1");
        AddPatient(db, "smith, ann", "C-3");
        AddPatient(db, "Smart, Al", "D-9");
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(d));

        QCOMPARE(Column(d, 0),
                 QStringList({"", "O'Brien, \"Jo\"", "Smart, Al", "smith, ann", "Young, Zoë"}));
        QCOMPARE(Column(d, 1), QStringList({"", "A-1", "D-9", "C-3", "B-7"}));
        QCOMPARE(List(d)->SelectedRow(), 0);
        QVERIFY(Button(d, 0)->isEnabled() && Button(d, 3)->isEnabled() &&
                Button(d, 4)->isEnabled());
        auto* model = qobject_cast<KeyedListModel*>(List(d)->model());
        QCOMPARE(model->KeyAt(1), QStringLiteral("k%1").arg(obrien));
        QCOMPARE(IdFromKey(model->KeyAt(1)), obrien);

        ClickHeader(d, 1);
        QCOMPARE(Column(d, 1), QStringList({"", "A-1", "B-7", "C-3", "D-9"}));
        ClickHeader(d, 1);
        QCOMPARE(Column(d, 1), QStringList({"D-9", "C-3", "B-7", "A-1", ""}));
        ClickHeader(d, 0);
        QCOMPARE(Column(d, 0).at(1), QStringLiteral("O'Brien, \"Jo\""));

        // Typing finds by the name, whichever column was clicked.
        ClickRow(d, 0);
        QTest::keyClicks(List(d), QStringLiteral("sm"));
        QCOMPARE(SelectedText(d), QStringLiteral("Smart, Al"));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(List(d), QStringLiteral("smi"));
        QCOMPARE(SelectedText(d), QStringLiteral("smith, ann"));
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(List(d), QStringLiteral("y"));
        QCOMPARE(SelectedText(d), QStringLiteral("Young, Zoë"));
    }

    void okAndDoubleClickChooseThePatient()
    {
        for (const bool doubleClick : {false, true}) {
            TestContext t;
            const QSqlDatabase db = t->Db.MainDb();
            AddPatient(db, "Adams, Bo");
            const qint32 young = AddPatient(db, "Young, Zoë");
            t->Program.InvoiceID = 12;
            t->Program.SaveAsNew = false;
            t->Program.EntryCount = 2; // the program on screen stays
            QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(d));
            if (doubleClick) {
                ClickRow(d, 1, true);
            } else {
                ClickRow(d, 1);
                Button(d, 0)->click();
            }
            QVERIFY(!d->isVisible());
            QCOMPARE(t->Program.PatientID, std::optional<qint32>(young));
            QCOMPARE(t->Program.PatientName, QStringLiteral("Young, Zoë"));
            QVERIFY(!t->Program.InvoiceID);
            QVERIFY(t->Program.SaveAsNew);
            QCOMPARE(t->Program.EntryCount, qint16(2));
            QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 2}));
            QCOMPARE(t.MainWindow.MenuStates, QList<int>({0, 2}));
            QCOMPARE(t.MainWindow.CaptionUpdates, 1);
        }
    }

    void newPatientIsStoredOnOkOnly()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        AddPatient(db, "Adams, Bo");
        t->Program.InvoiceID = 3;

        // "Cancel" leaves no row behind.
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        Button(d, 2)->click();
        QVERIFY(!d->isVisible());
        QPointer<QDialog> e = EditDialog();
        QVERIFY(e);
        QCOMPARE(e->windowTitle(), QStringLiteral("Patient Information"));
        for (const char* name : {"txtLastName", "txtFirstName"}) {
            auto* box = e->findChild<QLineEdit*>(QLatin1String(name));
            box->setText(QString(60, QLatin1Char('n')));
            QCOMPARE(box->text(), QString(50, QLatin1Char('n')));
            box->clear();
        }
        QVERIFY(e->findChild<QLineEdit*>("txtLastName")->text().isEmpty());
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 0}));
        QCOMPARE(t.MainWindow.MenuStates, QList<int>({0, 2}));
        TypeInto(e, "txtLastName", "Ghost");
        Button(e, 1)->click();
        QVERIFY(!e->isVisible());
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient"), 1);
        QVERIFY(!t->Program.PatientID);
        QVERIFY(!t->Program.InvoiceID);
        QCOMPARE(t.MainWindow.ToolbarStates.last(), 1);

        // "OK" stores exactly what was typed.
        t.MainWindow.ToolbarStates.clear();
        d = OpenSelectPatient(*t, nullptr);
        Button(d, 2)->click();
        e = EditDialog();
        QVERIFY(e);
        const QString last = QStringLiteral("O'Brien-Łukasz \"Jr\"");
        const QString first = QStringLiteral("Zoë; DROP TABLE Patient --");
        TypeInto(e, "txtLastName", last);
        TypeInto(e, "txtFirstName", first);
        TypeInto(e, "txtID", QStringLiteral("ÄB'12"));
        Button(e, 0)->click();
        QVERIFY(!e->isVisible());
        QVERIFY(t->Program.PatientID);
        QCOMPARE(t->Program.PatientName, last + ", " + first);
        QVERIFY(!t->Program.InvoiceID);
        QVERIFY(t->Program.SaveAsNew);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 0, 2}));
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient"), 2);
        const std::optional<PatientRecord> stored = ReadPatient(db, *t->Program.PatientID);
        QVERIFY(stored);
        QCOMPARE(stored->LastName, last);
        QCOMPARE(stored->FirstName, first);
        QCOMPARE(stored->ID, QStringLiteral("ÄB'12"));

        // ... and the list shows it as typed.
        d = OpenSelectPatient(*t, nullptr);
        QCOMPARE(Column(d, 0), QStringList({"Adams, Bo", last + ", " + first}));
        QCOMPARE(Column(d, 1), QStringList({"", "ÄB'12"}));
    }

    // Names are kept to the 50 characters the form allows, counted as stored: typed and
    // pasted text is never cut inside a character.
    void namesStopAtTheirLimitBetweenCharacters()
    {
        TestContext t;
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        Button(d, 2)->click();
        QPointer<QDialog> e = EditDialog();
        QVERIFY(e);
        const QString grin = QStringLiteral("\U0001F600");
        auto* last = e->findChild<QLineEdit*>(QStringLiteral("txtLastName"));
        last->setFocus();
        QTest::keyClicks(last, QString(48, QLatin1Char('a')));
        last->insert(grin + grin + grin);
        QCOMPARE(last->text(), QString(48, QLatin1Char('a')) + grin + grin);
        QTest::keyClicks(last, QStringLiteral("b"));
        QCOMPARE(last->text(), QString(48, QLatin1Char('a')) + grin + grin);
        QTest::keyClick(last, Qt::Key_Backspace);
        QTest::keyClicks(last, QStringLiteral("bc"));
        QCOMPARE(last->text(), QString(48, QLatin1Char('a')) + grin + QStringLiteral("b"));

        auto* first = e->findChild<QLineEdit*>(QStringLiteral("txtFirstName"));
        first->setFocus();
        first->insert(grin.repeated(60));
        QCOMPARE(first->text(), grin.repeated(50));
        Button(e, 0)->click();
        QCOMPARE(
            Count(t->Db.MainDb(),
                  "SELECT COUNT(*) FROM Patient WHERE LastName = ? AND FirstName = ?",
                  {QString(48, QLatin1Char('a')) + grin + QStringLiteral("b"), grin.repeated(50)}),
            1);
    }

    void editCorrectsThePatient()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint32 id = InsertPatient(db, {"Smyth", "Ann", "X1"});
        InsertPatient(db, {"Young", "Zoë", "X2"});
        t->Program.InvoiceID = 9;

        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        Button(d, 3)->click(); // the first row, Smyth, is selected
        QCOMPARE(t->Program.PatientID, std::optional<qint32>(id));
        QCOMPARE(t->Program.InvoiceID, std::optional<qint32>(9)); // kept until OK
        QVERIFY(t->Program.SaveAsNew);
        QPointer<QDialog> e = EditDialog();
        QVERIFY(e);
        QCOMPARE(e->findChild<QLineEdit*>("txtLastName")->text(), QStringLiteral("Smyth"));
        QCOMPARE(e->findChild<QLineEdit*>("txtFirstName")->text(), QStringLiteral("Ann"));
        QCOMPARE(e->findChild<QLineEdit*>("txtID")->text(), QStringLiteral("X1"));
        TypeInto(e, "txtLastName", "Smith");
        TypeInto(e, "txtFirstName", "");
        Button(e, 0)->click();
        QCOMPARE(t->Program.PatientID, std::optional<qint32>(id));
        QCOMPARE(t->Program.PatientName, QStringLiteral("Smith,"));
        QVERIFY(!t->Program.InvoiceID);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 0, 2}));
        QCOMPARE(
            Count(db, "SELECT COUNT(*) FROM Patient WHERE FullName = 'Smith,' AND FirstName = ''"),
            1);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient"), 2);

        // Cancel after Edit stores nothing and leaves no patient.
        d = OpenSelectPatient(*t, nullptr);
        Button(d, 3)->click();
        e = EditDialog();
        TypeInto(e, "txtLastName", "Changed");
        e->close();
        QVERIFY(!t->Program.PatientID);
        QCOMPARE(t.MainWindow.ToolbarStates.last(), 1);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient WHERE LastName = 'Changed'"), 0);
    }

    void deleteAsksAndTakesTheProgramsAlong()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint32 adams = AddPatient(db, "Adams, Bo");
        const qint32 young = AddPatient(db, "Young, Zoë");
        AddProgram(db, adams, "2026-01-02T00:00:00");
        AddProgram(db, adams, "2026-01-03T00:00:00");
        const qint32 kept = AddProgram(db, young, "2026-01-04T00:00:00");

        // No: nothing is deleted, the dialog closes, and as after any close with no
        // current patient the caption and the toolbar (state 1) say so.
        QPointer<QDialog> d = OpenSelectPatient(*t, nullptr);
        t.Prompt.Answers.push_back(PromptAnswer::No);
        Button(d, 4)->click();
        QVERIFY(!d->isVisible());
        QCOMPARE(t.Prompt.Records.size(), 1);
        const PromptRecord& asked = t.Prompt.Records.first();
        QCOMPARE(asked.title, QStringLiteral("Delete Patient"));
        QCOMPARE(asked.text, QStringLiteral("Are you sure you want to delete Adams, Bo"));
        QCOMPARE(asked.icon, PromptIcon::Warning);
        QCOMPARE(asked.buttons, PromptButtons::YesNo);
        QCOMPARE(asked.defaultButton, std::optional<PromptAnswer>(PromptAnswer::No));
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient"), 2);
        QVERIFY(!t->Program.PatientID);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>({0, 1}));
        QCOMPARE(t.MainWindow.MenuStates, QList<int>({0, 2}));
        QCOMPARE(t.MainWindow.CaptionUpdates, 1);

        // Yes: the patient goes with its programs and their exercises.
        d = OpenSelectPatient(*t, nullptr);
        t.Prompt.Answers.push_back(PromptAnswer::Yes);
        Button(d, 4)->click();
        QVERIFY(!d->isVisible());
        QCOMPARE(t.MainWindow.ToolbarStates.last(), 1);
        QCOMPARE(t.MainWindow.MenuStates.last(), 2);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Patient WHERE PatientID = ?", {adams}), 0);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Invoice"), 1);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Exercise"), 1);

        QPointer<QDialog> p = OpenListPrograms(*t, nullptr);
        auto* model = qobject_cast<KeyedListModel*>(List(p)->model());
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->IdAt(0), kept);
    }

    void programListShowsOnePatientOrAll()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint32 adams = AddPatient(db, "Adams, Bo", "A1");
        const qint32 young = AddPatient(db, "Young, Zoë", "Y1");
        AddPatient(db, "Empty, No Programs");
        AddProgram(db, adams, "2026-02-10T00:00:00");
        const qint32 a1 = AddProgram(db, adams, "2026-12-08T09:30:00");
        AddProgram(db, young, "2025-11-30T00:00:00");
        AddProgram(db, QVariant(), "2026-01-01T00:00:00"); // no patient: not listed

        QPointer<QDialog> d = OpenListPrograms(*t, nullptr);
        QCOMPARE(d->windowTitle(), QStringLiteral("Recall an Exericse Program"));
        QCOMPARE(List(d)->model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Date"));
        QCOMPARE(Column(d, 0), QStringList({"Adams, Bo", "Adams, Bo", "Young, Zoë"}));
        QCOMPARE(Column(d, 1), QStringList({"A1", "A1", "Y1"}));
        QCOMPARE(Column(d, 2), QStringList({"12/8/26", "2/10/26", "11/30/25"}));
        auto* model = qobject_cast<KeyedListModel*>(List(d)->model());
        QCOMPARE(model->KeyAt(0), QStringLiteral("k%1").arg(a1));
        QList<bool> enabled{Button(d, 0)->isEnabled(), Button(d, 1)->isEnabled(),
                            Button(d, 2)->isEnabled()};
        QCOMPARE(enabled, QList<bool>({true, false, false}));
        QCOMPARE(List(d)->SelectedRow(), -1);

        // The date column sorts by the date, not by its text.
        List(d)->sortByColumn(2, Qt::AscendingOrder);
        QCOMPARE(Column(d, 2), QStringList({"11/30/25", "2/10/26", "12/8/26"}));
        List(d)->sortByColumn(2, Qt::DescendingOrder);
        QCOMPARE(Column(d, 2), QStringList({"12/8/26", "2/10/26", "11/30/25"}));
        d->close();

        t->Program.PatientID = young;
        d = OpenListPrograms(*t, nullptr);
        QCOMPARE(Column(d, 0), QStringList({"Young, Zoë"}));
        d->close();

        t->Program.PatientID = AddPatient(db, "Later, Al");
        d = OpenListPrograms(*t, nullptr);
        QCOMPARE(List(d)->model()->rowCount(), 0);
        Button(d, 1)->setEnabled(true);
        Button(d, 1)->click(); // no row: nothing happens
        QVERIFY(d->isVisible());
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>());
        QCOMPARE(t.MainWindow.MenuStates, QList<int>());
    }

    void deletingTheProgramOnScreenLeavesItAlone()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint32 adams = AddPatient(db, "Adams, Bo");
        const qint32 first = AddProgram(db, adams, "2026-01-02T00:00:00");
        AddProgram(db, adams, "2026-03-02T00:00:00");
        t->Program.PatientID = adams;
        t->Program.PatientName = "Adams, Bo";
        t->Program.InvoiceID = first;
        t->Program.Modified = true;
        t->Program.EntryCount = 1;
        t->Program.Entries[0].ExerciseID = 77;
        t->Program.Provider = "On screen";

        QPointer<QDialog> d = OpenListPrograms(*t, nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QCOMPARE(Column(d, 2), QStringList({"3/2/26", "1/2/26"})); // latest stored first
        ClickRow(d, 1);
        QVERIFY(Button(d, 1)->isEnabled() && Button(d, 2)->isEnabled());

        t.Prompt.Answers.push_back(PromptAnswer::No);
        Button(d, 2)->click();
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Invoice"), 2);

        t.Prompt.Answers.push_back(PromptAnswer::Yes);
        Button(d, 2)->click();
        QCOMPARE(t.Prompt.Records.size(), 2);
        QCOMPARE(t.Prompt.Records.last().title, QStringLiteral("Delete Exercise Program"));
        QCOMPARE(t.Prompt.Records.last().text,
                 QStringLiteral("Are you sure you want to delete this exercise program."));
        QCOMPARE(t.Prompt.Records.last().icon, PromptIcon::Information);
        QCOMPARE(t.Prompt.Records.last().buttons, PromptButtons::YesNo);
        QCOMPARE(t.Prompt.Records.last().defaultButton,
                 std::optional<PromptAnswer>(PromptAnswer::No));
        QVERIFY(d->isVisible());
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Invoice WHERE InvoiceID = ?", {first}), 0);
        QCOMPARE(Count(db, "SELECT COUNT(*) FROM Exercise WHERE InvoiceID = ?", {first}), 0);
        QCOMPARE(Column(d, 2), QStringList({"3/2/26"}));

        QCOMPARE(t->Program.InvoiceID, std::optional<qint32>(first));
        QVERIFY(t->Program.Modified);
        QCOMPARE(t->Program.EntryCount, qint16(1));
        QCOMPARE(t->Program.Entries[0].ExerciseID, 77);
        QCOMPARE(t->Program.Provider, QStringLiteral("On screen"));

        // Still enabled, but with no row selected they do nothing.
        QCOMPARE(List(d)->SelectedRow(), -1);
        Button(d, 2)->click();
        Button(d, 1)->click();
        QCOMPARE(t.Prompt.Records.size(), 2);
        QVERIFY(d->isVisible());
    }

    void editOpensTheStoredProgram()
    {
        TestContext t;
        const QSqlDatabase db = t->Db.MainDb();
        const qint32 adams = AddPatient(db, "Adams, Bo");
        const qint32 young = AddPatient(db, "Young, Zoë");
        AddProgram(db, adams, "2026-01-02T00:00:00");
        const qint32 wanted = AddProgram(db, young, "2026-05-06T00:00:00");
        t->Program.SaveAsNew = true;

        QPointer<QDialog> d = OpenListPrograms(*t, nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        ClickRow(d, 1);
        Button(d, 1)->click();
        QVERIFY(!d->isVisible());
        QCOMPARE(t->Program.InvoiceID, std::optional<qint32>(wanted));
        QCOMPARE(t->Program.PatientID, std::optional<qint32>(young));
        QCOMPARE(t->Program.PatientName, QStringLiteral("Young, Zoë"));
        QCOMPARE(t->Program.EntryCount, qint16(1));
        QVERIFY(!t->Program.SaveAsNew);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{2});
        QCOMPARE(t.MainWindow.StatusTexts.last(), QStringLiteral("Status: Ready"));
    }

    void okAndDoubleClickCloseTheListOnly()
    {
        for (const bool doubleClick : {false, true}) {
            TestContext t;
            const QSqlDatabase db = t->Db.MainDb();
            AddProgram(db, AddPatient(db, "Adams, Bo"), "2026-01-02T00:00:00");
            QPointer<QDialog> d = OpenListPrograms(*t, nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(d));
            if (doubleClick)
                ClickRow(d, 0, true);
            else
                Button(d, 0)->click();
            QVERIFY(!d->isVisible());
            QVERIFY(!t->Program.InvoiceID);
            QVERIFY(!t->Program.PatientID);
            QVERIFY(t.MainWindow.ToolbarStates.isEmpty());
        }
    }

    void secondProgramsCommandRaisesTheOpenList()
    {
        TestContext t;
        QWidget main;
        QDialog* a = OpenListPrograms(*t, &main);
        QDialog* b = OpenListPrograms(*t, &main);
        QCOMPARE(a, b);
        QVERIFY(a->isWindow());
    }

    void storedDatesReadAsDates()
    {
        QCOMPARE(ShortDateText("2026-12-08T00:00:00"), QStringLiteral("12/8/26"));
        QCOMPARE(ShortDateText("2026-12-08"), QStringLiteral("12/8/26"));
        QCOMPARE(ShortDateText(""), QString());
        QCOMPARE(ShortDateText("soon"), QStringLiteral("soon"));
        QVERIFY(DateSortKey("2026-12-08T00:00:01") > DateSortKey("2026-12-08T00:00:00"));
        QVERIFY(DateSortKey("2026-12-08T00:00:00") > DateSortKey("2025-12-31T23:59:59"));
        QVERIFY(DateSortKey("") < DateSortKey("1900-01-01T00:00:00"));
        QCOMPARE(DateSortKey("2026-13-08T00:00:00"), DateSortKey(""));
    }
};

TRAMELLE_TEST_MAIN(TestPatients)
#include "tst_patients.moc"
