#include "AppContext.h"

#include "Paths.h"

#include <QAtomicInt>

namespace tramelle {

namespace {
QAtomicInt g_contextCounter;
}

AppContext::AppContext(QString appFolder)
    : Db(QStringLiteral("tramelle%1").arg(g_contextCounter.fetchAndAddRelaxed(1))),
      m_appFolder(NormalizeSlashes(appFolder))
{
    while (m_appFolder.size() > 1 && m_appFolder.endsWith(QLatin1Char('/')))
        m_appFolder.chop(1);
}

AppContext::~AppContext() = default;

QString AppContext::AppPathAndFName(const QString& name) const
{
    return ResolvePath(JoinPath(m_appFolder, name));
}

void AppContext::SetPromptService(PromptService* service)
{
    m_prompt = service ? service : &m_nullPrompt;
}

void AppContext::SetLauncherService(LauncherService* service)
{
    m_launcher = service ? service : &m_nullLauncher;
}

void AppContext::SetMainWindowServices(MainWindowServices* service)
{
    m_mainWindow = service ? service : &m_nullMainWindow;
}

} // namespace tramelle
