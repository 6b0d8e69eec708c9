#include "ApplicationServices.h"
#include "ImageEditorWindow.h"
#include "LinkServer.h"
#include "Paths.h"
#include "Settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

using namespace tramelle;
using namespace tramelle::imageeditor;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The main program's names, so both find the same application folder.
    QCoreApplication::setOrganizationName(SettingsOrganization);
    QCoreApplication::setApplicationName(SettingsApplication);
    QCoreApplication::setApplicationVersion(QStringLiteral(TRAMELLE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Makes exercise pictures from photographs."));
    parser.addHelpOption();
    const QCommandLineOption folderOption(
        QStringLiteral("app-folder"),
        QCoreApplication::translate("main", "The application folder whose pictures are edited."),
        QCoreApplication::translate("main", "folder"));
    parser.addOption(folderOption);
    parser.addPositionalArgument(QStringLiteral("picture"),
                                 QCoreApplication::translate("main", "A picture to open."));
    parser.process(app);

    const QString appFolder =
        parser.isSet(folderOption) ? parser.value(folderOption) : DefaultApplicationFolder();
    const QStringList pictures = parser.positionalArguments();
    const QString picture =
        pictures.isEmpty() ? QString() : QFileInfo(pictures.first()).absoluteFilePath();

    WidgetPromptService widgetPrompt;
    PromptService& prompt = widgetPrompt;
    LinkServer link;
    QString error;
    switch (link.Start(appFolder, picture, &error)) {
    case LinkServer::StartResult::HandedOver:
        return 0;
    case LinkServer::StartResult::Failed:
        prompt.Message(QCoreApplication::translate("main", "Image Editor"),
                       QCoreApplication::translate("main",
                                                   "The image editor cannot take calls from the "
                                                   "exercise editor.\n%1")
                           .arg(error),
                       PromptIcon::Critical);
        return 1;
    case LinkServer::StartResult::Listening:
        break;
    }

    ImageEditorWindow window(prompt, link, appFolder);
    window.resize(1200, 820);
    window.show();
    if (!picture.isEmpty())
        window.OpenPicture(picture);
    return app.exec();
}
