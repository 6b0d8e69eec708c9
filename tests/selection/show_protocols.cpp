// Shows "Protocol Selection" and "Protocol Editor" over the selection window, with a few
// stored protocols, for a few seconds so that they can be looked at:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_protocols &
//   sleep 3; import -window root shot.png
#include "ProtocolStore.h"
#include "TestSupport.h"
#include "frmExerciseSelection.h"
#include "frmProtocolEditor.h"
#include "frmSelectProtocol.h"

#include <QApplication>
#include <QComboBox>
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
    frmExerciseSelection w(*tc);
    w.SetSelectionMode(frmExerciseSelection::ModeProgram);
    w.move(0, 0);
    w.show();
    w.InitExerciseSelection(false);

    const QStringList names{QStringLiteral("Post-op knee, week 1"),
                            QStringLiteral("Shoulder's \"rotator cuff\""),
                            QStringLiteral("ankle sprain")};
    for (int n = 0; n < names.size(); ++n) {
        ProgramState p;
        for (int i = 0; i < 4 + 3 * n; ++i)
            p.Entries[static_cast<size_t>(p.EntryCount++)] = tc->Library.Entries.at(5 * n + i);
        SaveProtocolAs(tc->Db.MainDb(), names.at(n), p);
    }
    frmSelectProtocol select(*tc, &w, {});
    select.move(780, 20);
    select.show();
    select.findChild<QComboBox*>(QStringLiteral("cboProtocol"))->setCurrentIndex(2);
    frmProtocolEditor editor(*tc, &w, {});
    editor.move(780, 430);
    editor.show();
    editor.findChild<QComboBox*>(QStringLiteral("cboProtocol"))->setCurrentIndex(3);

    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 6;
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
