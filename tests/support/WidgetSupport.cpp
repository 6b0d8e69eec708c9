#include "WidgetSupport.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QTest>

namespace tramelle::test {

void ClickButton(const QObject* parent, const QString& name)
{
    QTest::mouseClick(Find<QAbstractButton>(parent, name), Qt::LeftButton);
}

void TriggerAction(const QObject* window, const QString& name)
{
    Find<QAction>(window, name)->trigger();
}

void DragByHand(QWidget* from, QPoint fromPos, QWidget* to, QPoint toPos)
{
    QTest::mousePress(from, Qt::LeftButton, {}, fromPos);
    QTest::mouseMove(from, fromPos + QPoint(4, 4));
    QTest::mouseMove(to, toPos);
    QTest::mouseRelease(to, Qt::LeftButton, {}, toPos);
}

void CheckModel(QAbstractItemModel* model)
{
    static constexpr char Checked[] = "tramelleModelChecked";
    if (!model || model->property(Checked).toBool())
        return;
    model->setProperty(Checked, true);
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 model);
}

} // namespace tramelle::test
