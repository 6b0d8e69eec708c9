#include "TestSupport.h"
#include "TestMain.h"

#include "Database.h"
#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTest>

namespace tramelle::test {

void PrepareTestProcess()
{
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("QT_FONT_DPI", "96");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void InitTestEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QStandardPaths::setTestModeEnabled(true);
    const QByteArray share = qgetenv("TRAMELLE_TEST_SHARE");
    if (!share.isEmpty())
        SetDeliveredShareFolder(QString::fromLocal8Bit(share));
}

PromptAnswer ScriptedPromptService::Message(const QString& title, const QString& text,
                                            PromptIcon icon, PromptButtons buttons,
                                            std::optional<PromptAnswer> defaultButton)
{
    Records.append({QStringLiteral("message"), title, text, icon, buttons, defaultButton});
    if (!Answers.empty()) {
        const PromptAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    return NullPromptService().Message(title, text, icon, buttons, defaultButton);
}

std::optional<QString> ScriptedPromptService::InputBox(const QString& title, const QString& prompt,
                                                       const QString& defaultText)
{
    Records.append({QStringLiteral("input"), title, prompt, PromptIcon::None,
                    PromptButtons::OkCancel, std::nullopt});
    Q_UNUSED(defaultText);
    if (TextAnswers.empty())
        return std::nullopt;
    const bool has = TextAnswers.front().has_value();
    const QString value = has ? *TextAnswers.front() : QString();
    TextAnswers.pop_front();
    if (!has)
        return std::nullopt;
    return value;
}

static QString NextText(std::deque<std::optional<QString>>& answers)
{
    if (answers.empty())
        return {};
    const QString value = answers.front().has_value() ? *answers.front() : QString();
    answers.pop_front();
    return value;
}

QString ScriptedPromptService::OpenFileName(const QString& title, const QString& folder,
                                            const QString&)
{
    Records.append({QStringLiteral("open"), title, folder, PromptIcon::None,
                    PromptButtons::OkCancel, std::nullopt});
    return NextText(TextAnswers);
}

QString ScriptedPromptService::SaveFileName(const QString& title, const QString& folder,
                                            const QString&)
{
    Records.append({QStringLiteral("save"), title, folder, PromptIcon::None,
                    PromptButtons::OkCancel, std::nullopt});
    return NextText(TextAnswers);
}

QString ScriptedPromptService::ExistingFolder(const QString& title, const QString& folder)
{
    Records.append({QStringLiteral("folder"), title, folder, PromptIcon::None,
                    PromptButtons::OkCancel, std::nullopt});
    return NextText(TextAnswers);
}

bool ScriptedPromptService::PrinterDialog(QPrinter*, const QString& proposedFile)
{
    Records.append({QStringLiteral("printer"), QString(), proposedFile, PromptIcon::None,
                    PromptButtons::OkCancel, std::nullopt});
    if (PrinterAnswers.empty())
        return false;
    const bool a = PrinterAnswers.front();
    PrinterAnswers.pop_front();
    return a;
}

QStringList ScriptedPromptService::MessageTexts() const
{
    QStringList texts;
    for (const PromptRecord& r : Records) {
        if (r.kind == QLatin1String("message"))
            texts << r.text;
    }
    return texts;
}

Outcome ScriptedLauncherService::Answer()
{
    return Fail ? Outcome::Failed(FailureText) : Outcome::Done();
}

Outcome ScriptedLauncherService::OpenDocument(const QString& path)
{
    Launches.append({QStringLiteral("open"), path, {}});
    return Answer();
}

Outcome ScriptedLauncherService::OpenUrl(const QUrl& url)
{
    Launches.append({QStringLiteral("url"), url.toString(), {}});
    return Answer();
}

Outcome ScriptedLauncherService::RunProgram(const QString& program, const QStringList& arguments,
                                            int)
{
    Launches.append({QStringLiteral("run"), program, arguments});
    return Answer();
}

Outcome ScriptedLauncherService::StartProgram(const QString& program, const QStringList& arguments)
{
    Launches.append({QStringLiteral("start"), program, arguments});
    return Answer();
}

QString ScriptedLauncherService::FindProgram(const QString& name)
{
    return AvailablePrograms.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
}

void WriteTestFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray TestFileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TestContext::TestContext(bool install)
{
    if (!Dir.isValid())
        qFatal("cannot create a temporary folder");
    Ctx = std::make_unique<AppContext>(Dir.path());
    Ctx->SetPromptService(&Prompt);
    Ctx->SetLauncherService(&Launcher);
    Ctx->SetMainWindowServices(&MainWindow);
    MainWindow.Dialogs = &Prompt;
    Ctx->SetWindowServices(&MainWindow);
    if (install) {
        InstallDeliveredFiles(Dir.path(), DeliveredFilesFolder());
        OpenDatabases(*Ctx);
    }
}

TestContext::~TestContext()
{
    CloseDatabases(*Ctx);
    Ctx.reset();
}

} // namespace tramelle::test
