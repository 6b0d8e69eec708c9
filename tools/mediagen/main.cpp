// Draws the delivered sample media and builds the delivered data at build time:
//
//   tramelle-mediagen --exercises FILE --media DIR --delivered DIR [--only ID,ID...]
//       pictures and movies into DIR/Picture and DIR/Movie, icons into the delivered
//       folder's ICON, and the library rows into its library.json;
//   tramelle-mediagen --patient-instructions HTML --pdf FILE
//       the one-page patient instructions;
//   tramelle-mediagen --update-files --delivered DIR
//       the two upgrade files ("Video.MDB", "VMR Exercise Library.MDB") from the
//       folder's library.json;
//   tramelle-mediagen --large-library COUNT --out DIR --media DIR --delivered DIR
//       a large library for benchmarks, reusing the sample pictures under new numbers.
#include "SampleLibrary.h"

#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QSet>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Drawing text and pictures needs a platform; this tool never shows a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds the delivered sample media and data."));
    parser.addHelpOption();
    const QCommandLineOption exercises(QStringLiteral("exercises"),
                                       QStringLiteral("Exercise source."), QStringLiteral("file"));
    const QCommandLineOption media(QStringLiteral("media"), QStringLiteral("Product media folder."),
                                   QStringLiteral("dir"));
    const QCommandLineOption delivered(QStringLiteral("delivered"),
                                       QStringLiteral("Delivered files folder."),
                                       QStringLiteral("dir"));
    const QCommandLineOption only(QStringLiteral("only"),
                                  QStringLiteral("Only these exercise numbers."),
                                  QStringLiteral("ids"));
    const QCommandLineOption instructions(QStringLiteral("patient-instructions"),
                                          QStringLiteral("Patient instructions (HTML)."),
                                          QStringLiteral("file"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("PDF to write."),
                                 QStringLiteral("file"));
    const QCommandLineOption large(QStringLiteral("large-library"),
                                   QStringLiteral("Number of exercises."), QStringLiteral("count"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Folder of the large library."),
                                 QStringLiteral("dir"));
    const QCommandLineOption updates(QStringLiteral("update-files"),
                                     QStringLiteral("Write the upgrade files."));
    parser.addOptions({exercises, media, delivered, only, instructions, pdf, large, out, updates});
    parser.process(app);

    auto need = [&](const QCommandLineOption& option) {
        if (parser.value(option).isEmpty()) {
            std::fprintf(stderr, "tramelle-mediagen: --%s is required\n",
                         qPrintable(option.names().first()));
            std::exit(2);
        }
        return parser.value(option);
    };
    try {
        if (parser.isSet(updates)) {
            const QString folder = need(delivered);
            tramelle::WriteUpdateFiles(tramelle::ReadDeliveredLibrary(tramelle::JoinPath(
                                           folder, tramelle::DeliveredLibraryFileName)),
                                       folder);
        } else if (parser.isSet(instructions)) {
            mediagen::WritePatientInstructions(need(instructions), need(pdf));
        } else if (parser.isSet(large)) {
            bool ok = false;
            const int count = parser.value(large).toInt(&ok);
            if (!ok) {
                std::fprintf(stderr, "tramelle-mediagen: the count must be a number\n");
                return 2;
            }
            mediagen::WriteLargeLibrary(count, need(out), need(media), need(delivered));
        } else {
            QList<mediagen::SourceExercise> list = mediagen::ReadExerciseSource(need(exercises));
            if (parser.isSet(only)) {
                QSet<qint32> wanted;
                for (const QString& id : parser.value(only).split(QLatin1Char(',')))
                    wanted.insert(id.trimmed().toInt());
                list.removeIf([&](const mediagen::SourceExercise& e) {
                    return !wanted.contains(e.Row.Entry.ExerciseID);
                });
            }
            mediagen::WriteSampleMedia(list, need(media), need(delivered));
        }
    } catch (const mediagen::SourceError& error) {
        std::fprintf(stderr, "tramelle-mediagen: %s\n", error.what());
        return 1;
    } catch (const tramelle::DbError& error) {
        std::fprintf(stderr, "tramelle-mediagen: %s\n", error.what());
        return 1;
    }
    return 0;
}
