#include "frmBackup.h"

#include "AppContext.h"
#include "MaintenanceCommands.h"
#include "Paths.h"
#include "ProgramStore.h"
#include "SingleWindow.h"
#include "WaitPointer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cerrno>

namespace tramelle {

namespace {

const QString BackupFolderKey = QStringLiteral("Options/Backup Folder");
constexpr qint64 MB = 1024 * 1024;

QSettings Store()
{
    return QSettings(QStringLiteral("Velmora"), QStringLiteral("Velmora"));
}

QString SkipReasonText(SkipReason reason)
{
    switch (reason) {
    case SkipReason::NotFound:
        return QCoreApplication::translate("tramelle::frmBackup", "file not found.");
    case SkipReason::UnableToOpen:
        return QCoreApplication::translate("tramelle::frmBackup", "unable to open file.");
    }
    return {};
}

// The files of a split set in the folder: "Velmora Backup.z01", ... and the archive itself.
QStringList SetFiles(const QString& folder)
{
    const QString base = QFileInfo(BackupArchiveName).completeBaseName();
    QStringList names;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        const QFileInfo info(name);
        if (info.completeBaseName() != base)
            continue;
        const QString suffix = info.suffix();
        if ((suffix.size() >= 3 && suffix.startsWith(QLatin1Char('z'), Qt::CaseInsensitive) &&
             suffix.mid(1).toInt() > 0) ||
            name.compare(BackupArchiveName, Qt::CaseInsensitive) == 0)
            names << name;
    }
    return names;
}

} // namespace

frmBackup* OpenBackup(AppContext& ctx, QWidget* parent)
{
    if (auto* open = RaiseOpenWindow<frmBackup>(parent))
        return open;
    auto* form = new frmBackup(ctx, parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return form;
}

frmBackup::frmBackup(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmBackup"));
    setWindowTitle(tr("Backup VMR Database"));

    m_lstMain = new QTreeWidget(this);
    m_lstMain->setObjectName(QStringLiteral("lstMain"));
    m_lstMain->setRootIsDecorated(false);
    m_lstMain->setHeaderLabels({tr("Name"), tr("Date"), tr("Time"), tr("Size")});
    m_lstMain->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    m_lstMain->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_lstMain->setColumnWidth(1, 80);
    m_lstMain->setColumnWidth(2, 60);
    m_lstMain->setColumnWidth(3, 100);
    m_lstMain->header()->setStretchLastSection(false);

    m_prbMain = new QProgressBar(this);
    m_prbMain->setObjectName(QStringLiteral("prbMain"));
    m_prbMain->setRange(0, 100);
    m_prbMain->setValue(0);

    m_lblDestination = new QLabel(this);
    m_lblDestination->setObjectName(QStringLiteral("lblDestination"));
    m_lblDestination->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_cmdBackup = button("cmdBackup", tr("Backup"));
    m_cmdAbort = button("cmdAbort", tr("Abort"));
    m_cmdOK = button("cmdOK", tr("OK"));
    m_cmdRestore = button("cmdRestore", tr("Restore..."));
    m_cmdDestination = button("cmdDestination", tr("Folder..."));

    auto* destination = new QHBoxLayout;
    destination->addWidget(new QLabel(tr("Backup to:"), this));
    destination->addWidget(m_lblDestination, 1);
    destination->addWidget(m_cmdDestination);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_cmdBackup);
    buttons->addWidget(m_cmdAbort);
    buttons->addWidget(m_cmdRestore);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);

    auto* grid = new QGridLayout(this);
    grid->addLayout(destination, 0, 0, 1, 2);
    grid->addWidget(m_lstMain, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(m_prbMain, 2, 0, 1, 2);
    resize(560, 300);

    connect(m_cmdBackup, &QPushButton::clicked, this, &frmBackup::cmdBackup_Click);
    connect(m_cmdAbort, &QPushButton::clicked, this, &frmBackup::cmdAbort_Click);
    connect(m_cmdRestore, &QPushButton::clicked, this, &frmBackup::cmdRestore_Click);
    connect(m_cmdDestination, &QPushButton::clicked, this, &frmBackup::cmdDestination_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::close);

    SetDestination(Store().value(BackupFolderKey).toString());
    EnableBackupButtons(false);
}

void frmBackup::SetDestination(const QString& folder)
{
    m_destination = folder;
    m_lblDestination->setText(folder.isEmpty() ? tr("(not chosen yet)")
                                               : QDir::toNativeSeparators(folder));
    if (!folder.isEmpty())
        Store().setValue(BackupFolderKey, folder);
}

QStringList frmBackup::RemovableMedia()
{
    QStringList media;
    const QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        return media;
    const QStringList bases{QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user};
    for (const QString& base : bases) {
        for (const QString& name :
             QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            media << base + QLatin1Char('/') + name;
    }
    return media;
}

BackupMedium frmBackup::ProbeMedium(const QString& folder)
{
    BackupMedium medium;
    const QString user = qEnvironmentVariable("USER");
    const QString path = QFileInfo(folder).absoluteFilePath();
    medium.Removable = !user.isEmpty() &&
                       (path.startsWith(QStringLiteral("/media/") + user + QLatin1Char('/')) ||
                        path.startsWith(QStringLiteral("/run/media/") + user + QLatin1Char('/')));
    medium.FreeRoom = QStorageInfo(folder).bytesAvailable();
    return medium;
}

void frmBackup::EnableBackupButtons(bool running)
{
    m_cmdAbort->setEnabled(running);
    m_cmdBackup->setEnabled(!running);
    m_cmdOK->setEnabled(!running);
    m_cmdRestore->setEnabled(!running);
    m_cmdDestination->setEnabled(!running);
}

void frmBackup::SetProgress(int percent)
{
    m_prbMain->setValue(std::clamp(percent, 0, 100));
}

bool frmBackup::ChooseDestination()
{
    if (!m_destination.isEmpty())
        return true;
    const QStringList media = RemovableMedia();
    if (!media.isEmpty()) {
        SetDestination(media.first());
        return true;
    }
    cmdDestination_Click();
    return !m_destination.isEmpty();
}

void frmBackup::cmdDestination_Click()
{
    const QString folder =
        m_ctx.Prompt().ExistingFolder(tr("Choose the folder for the backup"),
                                      m_destination.isEmpty() ? QDir::homePath() : m_destination);
    if (!folder.isEmpty())
        SetDestination(folder);
}

// The retry questions: OK tries again, Cancel gives up.
bool frmBackup::DestinationReady(const QString& folder)
{
    for (;;) {
        QString title;
        QString text;
        if (!QFileInfo(folder).isDir()) {
            title = tr("No Diskette Error");
            text = tr("Please insert a formatted diskette to continue.");
        } else if (!QFileInfo(folder).isWritable()) {
            title = tr("Diskette Write Protected");
            text = tr("Please remove write-protect from diskette.");
        } else {
            return true;
        }
        if (m_ctx.Prompt().Message(title, text, PromptIcon::Warning, PromptButtons::OkCancel) !=
            PromptAnswer::Ok)
            return false;
    }
}

void frmBackup::AddRow(const BackupMember& member)
{
    m_statusText = tr(" Adding file: ") + member.Name + QStringLiteral(" (") +
                   CalculateK(member.Size) + QStringLiteral(",") + QStringLiteral("   0%)");
    m_ctx.MainWindow().SetStatusBar(m_statusText);
    const QString dateTime = member.Modified.toString(QStringLiteral("MM/dd/yy HH:mm"));
    QString name = member.Name.mid(member.Name.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty())
        name = tr("<dir>");
    auto* row = new QTreeWidgetItem(m_lstMain, {name, dateTime.left(8), dateTime.right(5),
                                                QString::number(member.Size).rightJustified(12)});
    row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    m_lstMain->setSortingEnabled(true);
    m_lstMain->sortByColumn(0, Qt::AscendingOrder);
}

void frmBackup::ShowFileSkipped(const QString& name, SkipReason reason)
{
    m_ctx.Prompt().Message(windowTitle(),
                           tr("Can't process '%1', %2").arg(name, SkipReasonText(reason)),
                           PromptIcon::Warning);
    SetProgress(0);
}

Outcome frmBackup::RunZip(const QStringList& arguments)
{
    const QString zip = m_ctx.Launcher().FindProgram(QStringLiteral("zip"));
    if (zip.isEmpty())
        return Outcome::Failed(tr("The program \"zip\" is not installed."));
    return m_ctx.Launcher().RunProgram(zip, arguments, 30 * 60 * 1000);
}

void frmBackup::cmdBackup_Click()
{
    if (m_busy)
        return;
    m_lstMain->clear();
    SetProgress(0);
    if (!ChooseDestination() || !DestinationReady(m_destination))
        return;
    const QString folder = m_destination;
    const BackupMedium medium = m_probe(folder);
    if (!OfferToSave(m_ctx))
        return;

    m_busy = true;
    m_abort = false;
    auto idle = qScopeGuard([this] {
        EnableBackupButtons(false);
        m_busy = false;
    });
    WaitPointer wait;
    CloseDatabases(m_ctx);
    EnableBackupButtons(true);
    int code = 0;
    QString description;
    try {
        if (medium.Removable)
            WriteToMedium(folder, medium);
        else
            WriteToFolder(folder);
    } catch (const MaintenanceFailure& failure) {
        code = failure.errors().value(0).number;
        if (code == 0)
            code = -1;
        for (const MaintenanceError& e : failure.errors())
            description += QStringLiteral("\r\n\r\n") + e.description;
    }
    EnableBackupButtons(false);
    if (Reopen(m_ctx))
        ClearCurrentPatient(m_ctx);
    wait.Restore();
    if (code != 0)
        m_ctx.Prompt().Message(tr("Backup Error: %1").arg(code),
                               tr("An error occurred during the backup procedure") + description,
                               PromptIcon::Critical);
    else
        m_ctx.Prompt().Message(tr("Backup Status"), tr("Backup completed"),
                               PromptIcon::Information);
    m_ctx.MainWindow().SetStatusBarReady();
}

void frmBackup::WriteToFolder(const QString& folder)
{
    BackupOptions options;
    options.FileAdded = [this](const BackupMember& m) { AddRow(m); };
    options.FileSkipped = [this](const QString& name, SkipReason reason) {
        ShowFileSkipped(name, reason);
    };
    options.Progress = [this](int overall, int current) {
        m_statusText = m_statusText.chopped(5) + QStringLiteral("%1%)").arg(overall, 3);
        m_ctx.MainWindow().SetStatusBar(m_statusText);
        SetProgress(current);
        QCoreApplication::processEvents();
        if (m_progressHook)
            m_progressHook(overall);
    };
    options.Cancelled = [this] { return m_abort; };
    options.AtStage = m_hook;
    WriteBackupArchive(m_ctx.AppFolder(), JoinPath(folder, BackupArchiveName), options);
    // Parts of an older split set would be taken for parts of the new archive.
    for (const QString& name : SetFiles(folder)) {
        if (name.compare(BackupArchiveName, Qt::CaseInsensitive) != 0)
            QFile::remove(JoinPath(folder, name));
    }
}

void frmBackup::WriteToMedium(const QString& folder, const BackupMedium& medium)
{
    // The archive is written whole on the local disk first, then copied or split.
    QTemporaryDir work;
    if (!work.isValid())
        throw MaintenanceFailure(
            EIO, tr("Cannot create a temporary folder: %1").arg(work.errorString()));
    const QString local = JoinPath(work.path(), BackupArchiveName);
    WriteToFolder(work.path());
    const qint64 size = QFileInfo(local).size();
    if (size <= medium.FreeRoom) {
        const QString target = JoinPath(folder, BackupArchiveName);
        CopyFileSafely(local, target + QStringLiteral(".new"));
        VerifyArchive(target + QStringLiteral(".new"));
        ReplaceFile(target + QStringLiteral(".new"), target);
        for (const QString& name : SetFiles(folder)) {
            if (name.compare(BackupArchiveName, Qt::CaseInsensitive) != 0)
                QFile::remove(JoinPath(folder, name));
        }
        return;
    }
    SpanVolumes(local, folder, medium.FreeRoom);
}

void frmBackup::SpanVolumes(const QString& archive, const QString& folder, qint64 firstRoom)
{
    const qint64 volume = firstRoom / MB;
    if (volume < 1)
        throw MaintenanceFailure(ENOSPC, tr("The medium in \"%1\" has less than 1 MB free.")
                                             .arg(QDir::toNativeSeparators(folder)));
    const QString splitFolder =
        JoinPath(QFileInfo(archive).absolutePath(), QStringLiteral("split"));
    QDir().mkpath(splitFolder);
    m_ctx.MainWindow().SetStatusBar(tr(" Splitting the archive into parts of %1 MB").arg(volume));
    if (const Outcome split =
            RunZip({QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("%1m").arg(volume),
                    archive, QStringLiteral("--out"), JoinPath(splitFolder, BackupArchiveName)});
        !split)
        throw MaintenanceFailure(EIO, tr("The archive could not be split: %1").arg(split.Reason()));
    const QStringList parts = SetFiles(splitFolder);
    if (parts.isEmpty())
        throw MaintenanceFailure(EIO, tr("The archive could not be split."));
    // The set is only written when it joins again into the archive: zip cannot join a
    // member that runs over more than two parts.
    const QString joined =
        JoinPath(QFileInfo(archive).absolutePath(), QStringLiteral("joined.zip"));
    try {
        if (const Outcome rejoined =
                RunZip({QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("0"),
                        JoinPath(splitFolder, BackupArchiveName), QStringLiteral("--out"), joined});
            !rejoined)
            throw MaintenanceFailure(EIO, rejoined.Reason());
        VerifyArchive(joined);
    } catch (const MaintenanceFailure& failure) {
        throw MaintenanceFailure(
            EIO, tr("The archive cannot be split into parts of %1 MB that join again "
                    "(%2). Use a medium with more free room, or a folder.")
                     .arg(volume)
                     .arg(failure.errors().value(0).description));
    }
    QFile::remove(joined);
    // "Velmora Backup.z01", ... sort before the last part, "Velmora Backup.ZIP".
    QStringList ordered = parts;
    std::sort(ordered.begin(), ordered.end(), [](const QString& a, const QString& b) {
        const bool lastA = a.compare(BackupArchiveName, Qt::CaseInsensitive) == 0;
        const bool lastB = b.compare(BackupArchiveName, Qt::CaseInsensitive) == 0;
        if (lastA != lastB)
            return lastB;
        return QFileInfo(a).suffix().mid(1).toInt() < QFileInfo(b).suffix().mid(1).toInt();
    });
    QStringList written;
    for (int i = 0; i < ordered.size(); ++i) {
        const QString part = JoinPath(splitFolder, ordered.at(i));
        const qint64 partSize = QFileInfo(part).size();
        const bool last = i == ordered.size() - 1;
        bool first = i == 0;
        for (;;) {
            if (!first) {
                const QString request = last ? tr("Please insert the last disk of the set.")
                                             : tr("Please insert disk #%1 of the set.").arg(i + 1);
                if (m_ctx.Prompt().Message(QString(), request, PromptIcon::Information,
                                           PromptButtons::OkCancel) != PromptAnswer::Ok)
                    throw MaintenanceFailure(BackupCancelledCode, tr("The backup was aborted."));
            }
            first = false;
            if (m_abort || !DestinationReady(folder))
                throw MaintenanceFailure(BackupCancelledCode, tr("The backup was aborted."));
            const qint64 room = m_probe(folder).FreeRoom;
            if (room < partSize) {
                m_ctx.Prompt().Message(
                    windowTitle(),
                    tr("The disk in \"%1\" has %2 free; this part of the set needs %3. "
                       "Please use another disk.")
                        .arg(QDir::toNativeSeparators(folder), CalculateK(room),
                             CalculateK(partSize)),
                    PromptIcon::Warning);
                continue;
            }
            const QString target = JoinPath(folder, ordered.at(i));
            if (!last && QFileInfo::exists(target)) {
                const PromptAnswer answer = m_ctx.Prompt().Message(
                    windowTitle(),
                    tr("The file '%1' already exists. Do you want to replace this file?")
                        .arg(ordered.at(i)),
                    PromptIcon::Question, PromptButtons::YesNoCancel);
                if (answer == PromptAnswer::Cancel)
                    throw MaintenanceFailure(BackupCancelledCode, tr("The backup was aborted."));
                if (answer == PromptAnswer::No)
                    continue;
            }
            m_statusText = tr(" Updating file: ") + ordered.at(i) + QStringLiteral(" (") +
                           CalculateK(partSize) + QStringLiteral(",   0%)");
            m_ctx.MainWindow().SetStatusBar(m_statusText);
            CopyFileSafely(part, target);
            written << ordered.at(i);
            SetProgress((i + 1) * 100 / int(ordered.size()));
            QCoreApplication::processEvents();
            break;
        }
    }
    for (const QString& name : SetFiles(folder)) {
        if (!written.contains(name))
            QFile::remove(JoinPath(folder, name));
    }
}

void frmBackup::cmdAbort_Click()
{
    // The archive is always written under a temporary name, so aborting is always safe.
    if (m_ctx.Prompt().Message(tr("Abort"),
                               tr("Are you sure you want to abort the current operation?"),
                               PromptIcon::Question, PromptButtons::YesNo) == PromptAnswer::Yes)
        m_abort = true;
}

void frmBackup::cmdRestore_Click()
{
    if (m_busy)
        return;
    const QString title = tr("Restore VMR Database");
    const QString archive = m_ctx.Prompt().OpenFileName(
        title, m_destination.isEmpty() ? QDir::homePath() : m_destination,
        tr("Backup archives (*.zip *.ZIP)"));
    if (archive.isEmpty())
        return;
    m_busy = true;
    auto idle = qScopeGuard([this] {
        EnableBackupButtons(false);
        m_busy = false;
    });
    EnableBackupButtons(true);
    m_cmdAbort->setEnabled(false);

    QTemporaryDir work;
    BackupContents contents;
    try {
        const WaitPointer wait;
        m_ctx.MainWindow().SetStatusBar(
            tr(" Testing file: ") + QFileInfo(archive).fileName() + QStringLiteral(" (") +
            CalculateK(QFileInfo(archive).size()) + QStringLiteral(",   0%)"));
        if (!work.isValid())
            throw MaintenanceFailure(
                EIO, tr("Cannot create a temporary folder: %1").arg(work.errorString()));
        contents = InspectBackup(archive, work.path(),
                                 [this](const QStringList& args) { return RunZip(args); });
    } catch (const MaintenanceFailure& failure) {
        m_ctx.MainWindow().SetStatusBarReady();
        QString text = tr("This backup cannot be restored; nothing was changed.");
        for (const MaintenanceError& e : failure.errors())
            text += QStringLiteral("\r\n\r\n") + e.description;
        m_ctx.Prompt().Message(title, text, PromptIcon::Critical);
        return;
    }
    m_ctx.MainWindow().SetStatusBarReady();
    if (m_ctx.Prompt().Message(
            title,
            tr("The backup holds:") + QStringLiteral("\r\n\r\n") + contents.Summary() +
                QStringLiteral("\r\n\r\n") +
                tr("Replace the current data files with these? The replaced files are "
                   "kept beside them."),
            PromptIcon::Question, PromptButtons::YesNo) != PromptAnswer::Yes ||
        !OfferToSave(m_ctx))
        return;

    WaitPointer wait;
    CloseDatabases(m_ctx);
    QStringList kept;
    QString problem;
    try {
        kept = RestoreBackupFiles(contents, m_ctx.AppFolder(), QDateTime::currentDateTime());
    } catch (const MaintenanceFailure& failure) {
        for (const MaintenanceError& e : failure.errors())
            problem += QStringLiteral("\r\n\r\n") + e.description;
    }
    const bool opened = Reopen(m_ctx);
    if (opened)
        ClearCurrentPatient(m_ctx);
    wait.Restore();
    if (!problem.isEmpty())
        m_ctx.Prompt().Message(title, tr("The restore did not complete.") + problem,
                               PromptIcon::Critical);
    else if (opened)
        m_ctx.Prompt().Message(
            title,
            tr("Restore completed.") +
                (kept.isEmpty()
                     ? QString()
                     : QStringLiteral("\r\n\r\n") + tr("The replaced files are kept as:") +
                           QStringLiteral("\r\n") + kept.join(QStringLiteral("\r\n"))),
            PromptIcon::Information);
    m_ctx.MainWindow().SetStatusBarReady();
}

} // namespace tramelle
