// Shows the selection window on the delivered sample library with a program built by
// dragging, and keeps it on screen for a few seconds so that it can be looked at:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_exerciseselection &
//   sleep 3; import -window root shot.png
// Arguments: seconds on screen, and the window's size (the child area of a maximised main
// window, "1280x916" on a 1280 by 1024 screen).
#include "ChoiceGrid.h"
#include "Paths.h"
#include "TestSupport.h"
#include "frmExerciseSelection.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

using namespace tramelle;
using namespace tramelle::test;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitTestEnvironment();
    TestContext tc;
    tc->Settings.IconFolder = tc.Folder() + QStringLiteral("/ICON/");
    tc->Settings.PictureFolder = ProductMediaFolder() + QStringLiteral("Picture/");
    frmExerciseSelection w(*tc);
    w.SetSelectionMode(frmExerciseSelection::ModeProgram);
    w.move(0, 0);
    if (argc > 2) {
        const QStringList size = QString::fromLocal8Bit(argv[2]).split(QLatin1Char('x'));
        if (size.size() == 2)
            w.resize(size.at(0).toInt(), size.at(1).toInt());
    }
    w.show();
    w.InitExerciseSelection(false);
    w.Form_Activate();
    QTest::qWait(200);

    QWidget* grid = w.findChild<QWidget*>(QStringLiteral("SrcFrame"));
    auto slot = [&](int i) { return w.findChild<QLabel*>(QStringLiteral("TargetIm_%1").arg(i)); };
    auto drag = [&](QWidget* from, QPoint a, QWidget* to, QPoint b) {
        QTest::mousePress(from, Qt::LeftButton, {}, a);
        QTest::mouseMove(to, b);
        QTest::mouseRelease(to, Qt::LeftButton, {}, b);
    };
    for (int choice : {0, 3, 6, 8, 11, 12, 2})
        drag(grid, w.Grid()->PictureRect(choice).center(), slot(8), slot(8)->rect().center());
    QTest::qWait(100);
    // Move the last one to the front, and leave the third slot selected.
    drag(slot(6), slot(6)->rect().center(), slot(0), slot(0)->rect().center());
    QTest::mouseClick(slot(2), Qt::LeftButton);

    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 6;
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
