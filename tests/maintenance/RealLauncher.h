#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QStandardPaths>

namespace tramelle::test {

// Runs programs for real: splitting and joining need Info-ZIP's zip.
class RealLauncher : public ScriptedLauncherService
{
public:
    Outcome RunProgram(const QString& program, const QStringList& arguments, int timeoutMs) override
    {
        Launches.append({QStringLiteral("run"), program, arguments});
        QProcess p;
        p.start(program, arguments);
        if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return Outcome::Failed(QString::fromLocal8Bit(p.readAllStandardError()) +
                                   p.errorString());
        return Outcome::Done();
    }
    QString FindProgram(const QString& name) override
    {
        return QStandardPaths::findExecutable(name);
    }
};

} // namespace tramelle::test
