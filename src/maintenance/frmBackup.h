#pragma once

#include "Backup.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tramelle {

class AppContext;

// What the window knows of the place the backup goes to.
struct BackupMedium
{
    bool Removable = false; // a medium that can be changed for the next one of a set
    qint64 FreeRoom = 0;
};

// The "Backup" window of the Database menu: writes the data files into one archive in
// the chosen folder or on removable media (split over several when one is too small),
// and restores a backup.
class frmBackup : public QDialog
{
    Q_OBJECT

public:
    explicit frmBackup(AppContext& ctx, QWidget* parent = nullptr);

    static QString CalculateK(qint64 size) { return tramelle::CalculateK(size); }

    // The folder the archive is written to (kept in the settings).
    QString Destination() const { return m_destination; }
    void SetDestination(const QString& folder);
    // How a destination is probed; tests give a medium of a chosen size.
    void SetMediumProbe(std::function<BackupMedium(const QString&)> probe)
    {
        m_probe = std::move(probe);
    }
    // Called at each stage of writing; tests use it to interrupt a backup.
    void SetBackupHook(std::function<void(BackupStage)> hook) { m_hook = std::move(hook); }
    // Called on every progress step, after the window handled pending events.
    void SetProgressHook(std::function<void(int)> hook) { m_progressHook = std::move(hook); }

    // The removable media mounted for the user.
    static QStringList RemovableMedia();
    static BackupMedium ProbeMedium(const QString& folder);

private:
    void cmdBackup_Click();
    void cmdAbort_Click();
    void cmdRestore_Click();
    void cmdDestination_Click();
    void EnableBackupButtons(bool running);
    void SetProgress(int percent);
    bool ChooseDestination();
    bool DestinationReady(const QString& folder);
    void AddRow(const BackupMember& member);
    void ShowFileSkipped(const QString& name, SkipReason reason);
    Outcome RunZip(const QStringList& arguments);
    void WriteToFolder(const QString& folder);
    void WriteToMedium(const QString& folder, const BackupMedium& medium);
    void SpanVolumes(const QString& archive, const QString& folder, qint64 firstRoom);

    AppContext& m_ctx;
    QPushButton* m_cmdBackup = nullptr;
    QPushButton* m_cmdAbort = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdRestore = nullptr;
    QPushButton* m_cmdDestination = nullptr;
    QTreeWidget* m_lstMain = nullptr;
    QProgressBar* m_prbMain = nullptr;
    QLabel* m_lblDestination = nullptr;
    QString m_destination;
    QString m_statusText;
    bool m_abort = false;
    bool m_busy = false;
    std::function<BackupMedium(const QString&)> m_probe = &frmBackup::ProbeMedium;
    std::function<void(BackupStage)> m_hook;
    std::function<void(int)> m_progressHook;
};

// Opens the window, or brings the open one to the front.
frmBackup* OpenBackup(AppContext& ctx, QWidget* parent);

} // namespace tramelle
