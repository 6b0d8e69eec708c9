#pragma once

// A home of its own where the built program finds its application folder, with stored
// programs to export from the command line. Shared by the tests and the benchmark.

#include "AppContext.h"
#include "Database.h"
#include "Paths.h"
#include "PatientStore.h"
#include "ProgramStore.h"
#include "RecordingSurface.h"
#include "Settings.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

namespace tramelle::test {

class ExportFolder
{
public:
    QTemporaryDir Home;
    QString AppFolder;

    ExportFolder()
        : AppFolder(JoinPath(Home.filePath(QStringLiteral("data")),
                             SettingsOrganization + QLatin1Char('/') + SettingsApplication))
    {
        InstallDeliveredFiles(AppFolder, DeliveredFilesFolder());
        QDir().mkpath(PictureFolder());
        WriteProgramPictures(PictureFolder(), MaxProgramEntries);
        WriteSettings(true);
    }

    // The picture folder the settings name.
    QString PictureFolder() const { return JoinPath(AppFolder, QStringLiteral("pictures")); }

    // A process environment without a display, pointed at this home.
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), Home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), Home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral("config")));
        const QString runtime = Home.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        return env;
    }

    // Writes the per-user settings the program reads; the pictures are those of this folder.
    void WriteSettings(bool printCover) const
    {
        QSettings store(
            Home.filePath(
                QStringLiteral("config/%1/%2.conf").arg(SettingsOrganization, SettingsApplication)),
            QSettings::IniFormat);
        store.beginGroup(SettingsGroup);
        store.setValue(QStringLiteral("PrintPatientCover"),
                       printCover ? QStringLiteral("True") : QStringLiteral("False"));
        store.setValue(QStringLiteral("Picture"), QString(PictureFolder() + QLatin1Char('/')));
        store.endGroup();
        store.sync();
    }

    qint32 AddPatient(const QString& last, const QString& first)
    {
        AppContext ctx(AppFolder);
        OpenDatabases(ctx);
        const qint32 id = InsertPatient(ctx.Db.MainDb(), {last, first, QString()});
        CloseDatabases(ctx);
        return id;
    }

    // Stores a program of n exercises for the patient on the day; returns its number.
    qint32 StoreProgram(qint32 patient, int exercises, const QDate& date)
    {
        AppContext ctx(AppFolder);
        OpenDatabases(ctx);
        FillProgram(ctx, exercises);
        ctx.Program.PatientID = patient;
        ctx.Program.Date = date.startOfDay();
        ctx.Program.Modified = true;
        const bool saved = SaveProgram(ctx, false);
        const qint32 invoice = saved ? ctx.Program.InvoiceID.value_or(0) : 0;
        CloseDatabases(ctx);
        return invoice;
    }

    // Every file below the application folder with its size and time, hidden ones too.
    QStringList Snapshot() const
    {
        QStringList files;
        QDirIterator it(AppFolder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            files << QStringLiteral("%1 %2 %3")
                         .arg(info.filePath())
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }
};

} // namespace tramelle::test
