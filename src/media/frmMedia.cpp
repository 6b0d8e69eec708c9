#include "frmMedia.h"

#include "AppContext.h"
#include "MediaFiles.h"
#include "Paths.h"
#include "WindowServices.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tramelle {

namespace {

struct MediaKind
{
    const char* caption;
    const char* tag;
    const char* sample;
};

const std::array<MediaKind, 3> Kinds = {{
    {QT_TRANSLATE_NOOP("tramelle::frmMedia", "Icons"), "Icon", "1.JPG"},
    {QT_TRANSLATE_NOOP("tramelle::frmMedia", "Pictures"), "Picture", "1_1.JPG"},
    {QT_TRANSLATE_NOOP("tramelle::frmMedia", "Movies"), "Movie", "1.AVI"},
}};

} // namespace

frmMedia::frmMedia(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMedia"));
    setWindowTitle(tr("Media Locations"));

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    for (size_t i = 0; i < Kinds.size(); ++i) {
        cmdMedia[i] = new QPushButton(tr(Kinds[i].caption), this);
        cmdMedia[i]->setObjectName(QStringLiteral("cmdMedia_%1").arg(i));
        cmdMedia[i]->setProperty("tag", QLatin1String(Kinds[i].tag));
        cmdMedia[i]->setMinimumWidth(90);
        connect(cmdMedia[i], &QPushButton::clicked, this, [this, i] { cmdMedia_Click(i); });
        lblMedia[i] = new QLabel(this);
        lblMedia[i]->setObjectName(QStringLiteral("lblMedia_%1").arg(i));
        lblMedia[i]->setFrameShape(QFrame::StyledPanel);
        lblMedia[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        lblMedia[i]->setMinimumWidth(380);
        grid->addWidget(cmdMedia[i], static_cast<int>(i), 0);
        grid->addWidget(lblMedia[i], static_cast<int>(i), 1);
    }

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOKCancel_0"));
    ok->setProperty("tag", QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdOKCancel_1"));
    cancel->setProperty("tag", QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, [this] { cmdOkCancel_Click(OkCancelButton::Ok); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { cmdOkCancel_Click(OkCancelButton::Cancel); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    m_folders = {m_ctx.Settings.IconFolder, m_ctx.Settings.PictureFolder,
                 m_ctx.Settings.MovieFolder};
    for (size_t i = 0; i < m_folders.size(); ++i)
        ShowFolder(i);
    adjustSize();
    Windows(m_ctx).CenterForm(this);
}

void frmMedia::ShowFolder(size_t index)
{
    lblMedia[index]->setText(QDir::toNativeSeparators(m_folders[index]));
}

QString frmMedia::FindMediaPath(const QString& kind, const QString& sample)
{
    // The dialog starts in the product media's folder of the kind with the sample offered.
    const QString start = ResolvePath(JoinPath(ProductMediaFolder(), kind));
    const QString filter = QStringLiteral("%1 (%1 %2)").arg(sample, sample.toLower());
    const QString chosen =
        m_ctx.Prompt().OpenFileName(tr("Locate %1").arg(sample), JoinPath(start, sample), filter);
    return MediaFolderFromSample(chosen);
}

void frmMedia::cmdMedia_Click(size_t index)
{
    const QString folder =
        FindMediaPath(QLatin1String(Kinds[index].tag), QLatin1String(Kinds[index].sample));
    if (!folder.isEmpty()) {
        m_folders[index] = folder;
        ShowFolder(index);
    }
}

void frmMedia::cmdOkCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        // Pictures loaded from now on come from these folders.
        m_ctx.Settings.IconFolder = m_folders[0];
        m_ctx.Settings.PictureFolder = m_folders[1];
        m_ctx.Settings.MovieFolder = m_folders[2];
        accept();
    } else {
        reject();
    }
}

} // namespace tramelle
