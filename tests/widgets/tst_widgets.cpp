#include "ButtonArray.h"
#include "SingleWindow.h"

#include <QDialog>
#include <QPushButton>
#include <QTest>

using namespace tramelle;

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    // Tests find the buttons by "<name>_<index>" and read the untranslated tag; a click
    // must report the index it was built with, also where the indexes have a gap.
    void buttonArrayNamesTagsAndClicks()
    {
        QWidget owner;
        QList<int> clicks;
        const QList<QPushButton*> buttons = MakeButtonArray(
            &owner, QStringLiteral("cmdOkCancel"),
            {{0, QStringLiteral("OK"), QStringLiteral("Fertig")},
             {2, QStringLiteral("New"), QStringLiteral("Neu"), QIcon(), QStringLiteral("tip")},
             {4, QStringLiteral("Delete"), QStringLiteral("Weg")}},
            [&clicks](int index) { clicks << index; });
        QCOMPARE(buttons.size(), 3);
        const QStringList names = {QStringLiteral("cmdOkCancel_0"), QStringLiteral("cmdOkCancel_2"),
                                   QStringLiteral("cmdOkCancel_4")};
        const QStringList tags = {QStringLiteral("OK"), QStringLiteral("New"),
                                  QStringLiteral("Delete")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(buttons[i]->parent(), &owner);
            QCOMPARE(buttons[i]->objectName(), names[i]);
            QCOMPARE(buttons[i]->property("tag").toString(), tags[i]);
            QVERIFY(!buttons[i]->autoDefault());
        }
        QCOMPARE(buttons[1]->text(), QStringLiteral("Neu"));
        QCOMPARE(buttons[1]->toolTip(), QStringLiteral("tip"));
        QVERIFY(buttons[0]->toolTip().isEmpty());

        buttons[2]->click();
        buttons[0]->click();
        buttons[1]->click();
        QCOMPARE(clicks, (QList<int>{4, 0, 2}));
    }

    void okCancelPairIsTaggedWhateverItShows()
    {
        const QList<ArrayButton> pair =
            OkCancelButtons(QStringLiteral("Ja"), QStringLiteral("Nein"));
        QCOMPARE(pair.size(), 2);
        QCOMPARE(pair[0].index, static_cast<int>(OkCancelButton::Ok));
        QCOMPARE(pair[0].tag, QStringLiteral("OK"));
        QCOMPARE(pair[0].caption, QStringLiteral("Ja"));
        QCOMPARE(pair[1].index, static_cast<int>(OkCancelButton::Cancel));
        QCOMPARE(pair[1].tag, QStringLiteral("Cancel"));
    }

    // Only a window of that type directly over the parent counts as the open one.
    void raiseOpenWindowFindsDirectChildOnly()
    {
        QCOMPARE(RaiseOpenWindow<QDialog>(nullptr), nullptr);
        QWidget parent;
        QWidget middle(&parent);
        auto* nested = new QDialog(&middle);
        QCOMPARE(RaiseOpenWindow<QDialog>(&parent), nullptr);
        auto* open = new QDialog(&parent);
        QCOMPARE(RaiseOpenWindow<QDialog>(&parent), open);
        QCOMPARE(RaiseOpenWindow<QDialog>(&middle), nested);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
