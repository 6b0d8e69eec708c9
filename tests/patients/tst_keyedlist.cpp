#include "KeyedListModel.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"

#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

class TestKeyedList : public QObject
{
    Q_OBJECT

private slots:
    void namesSortAsTheUserReadsThem()
    {
        KeyedListModel model({QStringLiteral("Name"), QStringLiteral("ID")});
        CheckModel(&model);
        const QStringList names{"Zoe, Anna",   "émile, Jean", "Åberg, Per", "Dubois, Luc",
                                "Émile, Jean", "zoe, anna",   "Ørsted, Ida"};
        std::vector<KeyedListModel::Row> rows;
        for (int i = 0; i < names.size(); ++i)
            rows.push_back({i + 1, {names.at(i), QString(), QString()}});
        model.SetRows(std::move(rows));
        model.sort(0, Qt::AscendingOrder);
        QStringList shown;
        for (int r = 0; r < model.rowCount(); ++r)
            shown << model.TextAt(r, 0);
        // Accented letters sort with their letter, not after Z; names that differ only in
        // letter case keep the order they were given in.
        QCOMPARE(shown, (QStringList{"Åberg, Per", "Dubois, Luc", "émile, Jean", "Émile, Jean",
                                     "Ørsted, Ida", "Zoe, Anna", "zoe, anna"}));
        model.sort(0, Qt::DescendingOrder);
        QCOMPARE(model.TextAt(0, 0), QStringLiteral("Zoe, Anna"));
        QCOMPARE(model.TextAt(model.rowCount() - 1, 0), QStringLiteral("Åberg, Per"));
    }
};

TRAMELLE_TEST_MAIN(TestKeyedList)
#include "tst_keyedlist.moc"
