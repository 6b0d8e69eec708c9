#include "frmCheckMedia.h"

#include "AppContext.h"
#include "MediaFiles.h"
#include "Paths.h"
#include "WaitPointer.h"
#include "WindowServices.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace tramelle {

namespace {

const QList<MediaKind> CopiedKinds = {MediaKind::Picture, MediaKind::Movie};
const QString ProbePicture = QStringLiteral("Picture/385_1.JPG");

QString SameFolderKey(const QString& folder)
{
    return WithTrailingSlash(QDir::cleanPath(NormalizeSlashes(folder)));
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmCheckMedia::frmCheckMedia(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), Drive1(new QComboBox(this))
{
    setObjectName(QStringLiteral("frmCheckMedia"));
    setWindowTitle(tr("Exericse Pictures Not Found"));

    const QString instructions[] = {
        tr("Insert the Velmora CD into your CD-ROM drive."),
        tr("Press Find CD."),
        tr("Select CD to continue working from the CD-ROM drive.") + QLatin1Char('\n') +
            tr("Select HARD DRIVE to copy the pictures to the Hard Drive and eliminate the need "
               "for the CD-ROM. (Approximately 200MB required.)"),
    };
    auto* steps = new QGridLayout;
    steps->setColumnStretch(1, 1);
    for (int i = 0; i < 3; ++i) {
        QLabel* number = MakeLabel(this, QStringLiteral("lblNumber_%1").arg(i),
                                   QStringLiteral("%1.").arg(i + 1));
        number->setAlignment(Qt::AlignRight | Qt::AlignTop);
        steps->addWidget(number, i, 0);
        steps->addWidget(MakeLabel(this, QStringLiteral("lblInstr_%1").arg(i), instructions[i]), i,
                         1);
    }

    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setMinimumWidth(300);
    auto* find = new QPushButton(tr("FindCD"), this);
    find->setObjectName(QStringLiteral("cmdFindCD"));
    connect(find, &QPushButton::clicked, this, &frmCheckMedia::cmdFindCD_Click);
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(Drive1, 1);
    driveRow->addWidget(find);

    const char* captions[] = {QT_TR_NOOP("CD"), QT_TR_NOOP("Hard Drive"), QT_TR_NOOP("Cancel")};
    const char* tags[] = {"CD", "HardDrive", "Cancel"};
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (size_t i = 0; i < cmdPictureLocation.size(); ++i) {
        cmdPictureLocation[i] = new QPushButton(tr(captions[i]), this);
        cmdPictureLocation[i]->setObjectName(QStringLiteral("cmdPictureLocation_%1").arg(i));
        cmdPictureLocation[i]->setProperty("tag", QLatin1String(tags[i]));
        connect(cmdPictureLocation[i], &QPushButton::clicked, this,
                [this, i] { cmdPictureLocation_Click(static_cast<PictureLocation>(i)); });
        buttons->addWidget(cmdPictureLocation[i]);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(steps);
    layout->addSpacing(6);
    layout->addLayout(driveRow);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    for (const QString& drive : DriveChoices(m_ctx))
        Drive1->addItem(QDir::toNativeSeparators(drive), drive);
    SelectCDDrive();
    adjustSize();
    Windows(m_ctx).CenterForm(this);
}

QStringList frmCheckMedia::DriveChoices(const AppContext& ctx)
{
    QStringList drives;
    const auto add = [&drives](const QString& folder) {
        const QString key = SameFolderKey(folder);
        if (!folder.isEmpty() && !drives.contains(key) && QFileInfo(key).isDir())
            drives << key;
    };
    add(ProductMediaFolder());
    add(ctx.Settings.CDDrive);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const QByteArray type = volume.fileSystemType();
        if (type == "iso9660" || type == "udf" || root.startsWith(QLatin1String("/media/")) ||
            root.startsWith(QLatin1String("/run/media/")))
            add(root);
    }
    return drives;
}

// An unknown drive setting is ignored: the chooser keeps its selection.
void frmCheckMedia::SelectCDDrive()
{
    const int index = Drive1->findData(SameFolderKey(m_ctx.Settings.CDDrive));
    if (index >= 0)
        Drive1->setCurrentIndex(index);
}

QString frmCheckMedia::ChosenDrive() const
{
    return Drive1->currentData().toString();
}

void frmCheckMedia::cmdFindCD_Click()
{
    SelectCDDrive();
}

bool frmCheckMedia::CDHasPictures()
{
    const QString drive = ChosenDrive();
    if (!drive.isEmpty() && FileExistsAnyCase(JoinPath(drive, ProbePicture)))
        return true;
    m_ctx.Prompt().Message(
        tr("Exercise Pictures Not Found"),
        tr("Check the CD-ROM drive setting\r\nand that the CD is in the computer."),
        PromptIcon::Information);
    return false;
}

bool frmCheckMedia::CopyMediaFromCD()
{
    const QString title = tr("Copy Pictures");
    const QString appFolder = m_ctx.AppFolder();
    MediaCopy::RecoverInterrupted(appFolder, CopiedKinds);
    MediaCopy copy(ChosenDrive(), appFolder);

    QList<MediaKind> kinds;
    for (MediaKind kind : CopiedKinds) {
        // Copying a folder onto itself would only swap it for a copy of itself.
        if (QFileInfo(copy.SourceFolder(kind)).canonicalFilePath() !=
            QFileInfo(copy.DestinationFolder(kind)).canonicalFilePath())
            kinds << kind;
    }

    const qint64 needed = copy.BytesNeeded(kinds);
    const qint64 available = MediaCopy::BytesAvailable(appFolder);
    if (available >= 0 && needed > available) {
        const auto mb = [](qint64 bytes) { return QString::number((bytes + 1048575) / 1048576); };
        m_ctx.Prompt().Message(
            title,
            tr("Copying the pictures and movies needs %1 MB of free space for\r\n%2\r\n"
               "but only %3 MB are free there.\r\n\r\n"
               "Free some space and try again, or select CD to work from the CD.")
                .arg(mb(needed), QDir::toNativeSeparators(appFolder), mb(available)),
            PromptIcon::Warning);
        return false;
    }

    MainWindowServices& main = m_ctx.MainWindow();
    for (MediaKind kind : kinds) {
        main.InitCancellableProgress(CountFiles(copy.SourceFolder(kind)),
                                     kind == MediaKind::Picture
                                         ? tr("Copying Pictures From CD To Hard Drive")
                                         : tr("Copying Movies From CD To Hard Drive"));
        const auto progressGone = qScopeGuard([&main] { main.DestroyProgress(); });
        const bool staged = copy.Stage(kind, [&main](qint32 done) {
            main.UpdateProgress(done);
            QCoreApplication::processEvents();
            return !main.ProgressCancelled();
        });
        if (!staged)
            break;
    }
    if (copy.Cancelled())
        return false;
    if (copy.Failures().isEmpty())
        copy.Commit();
    if (!copy.Failures().isEmpty()) {
        const QStringList& failures = copy.Failures();
        QStringList shown = failures.mid(0, 10);
        if (failures.size() > shown.size())
            shown << tr("... and %1 more").arg(failures.size() - shown.size());
        m_ctx.Prompt().Message(title,
                               tr("The pictures and movies could not be copied:") +
                                   QStringLiteral("\r\n\r\n") + shown.join(QStringLiteral("\r\n")) +
                                   QStringLiteral("\r\n\r\n") +
                                   tr("They are still read from where they were read before."),
                               PromptIcon::Warning);
        return false;
    }
    for (MediaKind kind : CopiedKinds) {
        const QString folder = copy.DestinationFolder(kind);
        if (kind == MediaKind::Picture)
            m_ctx.Settings.PictureFolder = folder;
        else
            m_ctx.Settings.MovieFolder = folder;
    }
    return true;
}

void frmCheckMedia::cmdPictureLocation_Click(PictureLocation location)
{
    if (m_busy)
        return;
    if (location == PictureLocation::CD) {
        if (!CDHasPictures())
            return;
        const QString drive = ChosenDrive();
        m_ctx.Settings.PictureFolder =
            WithTrailingSlash(ResolvePath(JoinPath(drive, MediaFolderName(MediaKind::Picture))));
        m_ctx.Settings.MovieFolder =
            WithTrailingSlash(ResolvePath(JoinPath(drive, MediaFolderName(MediaKind::Movie))));
        accept();
    } else if (location == PictureLocation::HardDrive) {
        if (!CDHasPictures())
            return;
        m_busy = true;
        for (QPushButton* b : cmdPictureLocation)
            b->setEnabled(false);
        const auto restore = qScopeGuard([this] {
            m_busy = false;
            for (QPushButton* b : cmdPictureLocation)
                b->setEnabled(true);
        });
        bool copied = false;
        {
            const WaitPointer wait;
            copied = CopyMediaFromCD();
        }
        if (copied)
            accept();
    } else {
        reject();
    }
}

// While copying, the window stays: the progress window's Cancel stops the copy.
void frmCheckMedia::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmCheckMedia::reject()
{
    if (!m_busy)
        QDialog::reject();
}

} // namespace tramelle
