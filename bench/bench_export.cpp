// Times the export from the command line of a stored 20-exercise program, from the start
// of the process to the PDF file written, against a start that does nothing (--version).
#include "BenchTiming.h"
#include "ExportFolder.h"

#include <QGuiApplication>
#include <QLocale>

using namespace tramelle;
using namespace tramelle::bench;
using namespace tramelle::test;

namespace {

bool RunProgram(const ExportFolder& folder, const QStringList& arguments)
{
    QProcess p;
    p.setProcessEnvironment(folder.Environment());
    p.start(QStringLiteral(TRAMELLE_BINARY), arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    ExportFolder folder;
    folder.WriteSettings(false);
    const qint32 patient = folder.AddPatient(QStringLiteral("Doe"), QStringLiteral("Jane"));
    const qint32 program = folder.StoreProgram(patient, 20, QDate(2026, 12, 8));
    const QString out = folder.Home.filePath(QStringLiteral("export.pdf"));
    bool ok = program > 0;

    auto exportKind = [&](const char* kind) {
        return Measure(
            [&] {
                ok = RunProgram(folder, {QStringLiteral("--export-pdf"), QLatin1String(kind),
                                         QStringLiteral("--program"), QString::number(program),
                                         QStringLiteral("--out"), out}) &&
                     ok;
            },
            7);
    };
    const Timing nothing =
        Measure([&] { ok = RunProgram(folder, {QStringLiteral("--version")}) && ok; }, 7);
    const Timing sheets = exportKind("sheets4");
    const Timing large = exportKind("large");
    Report("process start and end, nothing exported (--version):", nothing);
    Report("export of 20 exercises, sheets 4 per page (5 pages):", sheets);
    Report("export of 20 exercises, large print (20 pages):", large);
    if (!ok)
        std::fprintf(stderr, "an export failed\n");
    return ok ? 0 : 1;
}
