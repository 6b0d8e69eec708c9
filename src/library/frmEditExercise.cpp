#include "frmEditExercise.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "LoadPicture.h"
#include "Paths.h"
#include "StoredLengthLimit.h"
#include "TextHelpers.h"
#include "WindowServices.h"
#include "frmLibrary.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

namespace tramelle {

namespace {

int g_linkTimeoutMs = 3000;
constexpr QSize PictureSize(160, 120);

std::optional<qint16> ParseDefault(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const int n = t.toInt(&ok);
    if (!ok || n < 0 || n > 32767)
        return std::nullopt;
    return static_cast<qint16>(n);
}

} // namespace

void frmEditExercise::SetLinkTimeout(int ms)
{
    g_linkTimeoutMs = ms;
}

QStringList frmEditExercise::ParseString(const QVariant& value)
{
    return SplitCommaList(NullToText(value));
}

frmEditExercise::frmEditExercise(AppContext& ctx, std::optional<qint32> exerciseToEdit,
                                 QWidget* parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmEditExercise"));
    setAttribute(Qt::WA_DeleteOnClose);
    CreateControls();
    m_loaded = LoadRecord(exerciseToEdit);
    if (!m_loaded)
        return;
    Windows(m_ctx).CenterForm(this);
    connect(&m_link, &ImageEditorLink::ItemChanged, this, &frmEditExercise::LinkItemChanged);
    LinkImageEditor();
}

frmEditExercise::~frmEditExercise() = default;

void frmEditExercise::CreateControls()
{
    auto named = [](QWidget* w, const QString& name) {
        w->setObjectName(name);
        return w;
    };

    auto* fraDescription = new QGroupBox(tr("Description"), this);
    txtAbbrevDesc = new QLineEdit(fraDescription);
    named(txtAbbrevDesc, QStringLiteral("txtAbbrevDesc"));
    LimitStoredLength(txtAbbrevDesc, AbbrevDescLimit);
    txtDescription = new QLineEdit(fraDescription);
    named(txtDescription, QStringLiteral("txtDescription"));
    LimitStoredLength(txtDescription, DescLimit);
    auto* descForm = new QFormLayout(fraDescription);
    descForm->addRow(tr("Short:"), txtAbbrevDesc);
    descForm->addRow(tr("Long:"), txtDescription);

    auto* fraView = new QGroupBox(tr("View"), this);
    lstJoint = new QListWidget(fraView);
    named(lstJoint, QStringLiteral("lstJoint"));
    lstJoint->setSelectionMode(QAbstractItemView::MultiSelection);
    cmdNewJoint = new QPushButton(tr("Add"), fraView);
    named(cmdNewJoint, QStringLiteral("cmdNewJoint"));
    cmdNewJoint->setAutoDefault(false);
    connect(cmdNewJoint, &QPushButton::clicked, this, &frmEditExercise::cmdNewJoint_Click);
    cboPattern = new QComboBox(fraView);
    named(cboPattern, QStringLiteral("cboPattern"));
    cboPattern->setEditable(true);
    cboType = new QComboBox(fraView);
    named(cboType, QStringLiteral("cboType"));
    cboType->setEditable(true);
    auto* viewGrid = new QGridLayout(fraView);
    viewGrid->addWidget(new QLabel(tr("Joint:"), fraView), 0, 0, Qt::AlignTop);
    viewGrid->addWidget(lstJoint, 0, 1, 2, 1);
    viewGrid->addWidget(cmdNewJoint, 0, 2, Qt::AlignTop);
    viewGrid->addWidget(new QLabel(tr("Pattern:"), fraView), 2, 0);
    viewGrid->addWidget(cboPattern, 2, 1, 1, 2);
    viewGrid->addWidget(new QLabel(tr("Type:"), fraView), 3, 0);
    viewGrid->addWidget(cboType, 3, 1, 1, 2);

    auto* fraOptions = new QGroupBox(tr("Options"), this);
    auto* optionsForm = new QFormLayout(fraOptions);
    auto number = [&](QLineEdit*& edit, const char* name, const QString& label) {
        edit = new QLineEdit(fraOptions);
        named(edit, QLatin1String(name));
        edit->setValidator(new QIntValidator(0, 32767, edit));
        edit->setMaximumWidth(60);
        optionsForm->addRow(label, edit);
    };
    number(txtRepsDef, "txtRepsDef", tr("Reps:"));
    number(txtHoldDef, "txtHoldDef", tr("Hold:"));
    number(txtSetsDef, "txtSetsDef", tr("Sets:"));

    auto* fraPictures = new QGroupBox(tr("Pictures and Text  for Patient Handout"), this);
    named(fraPictures, QStringLiteral("fraPictures"));
    auto* picturesGrid = new QGridLayout(fraPictures);
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        imgPicture[k] = new QLabel(fraPictures);
        named(imgPicture[k], QStringLiteral("imgPicture_%1").arg(i));
        imgPicture[k]->setFixedSize(PictureSize);
        imgPicture[k]->setFrameShape(QFrame::Box);
        imgPicture[k]->setScaledContents(true);
        imgPicture[k]->setToolTip(tr("Double click to edit the picture in the image editor"));
        imgPicture[k]->installEventFilter(this);
        txtPicture[k] = new QPlainTextEdit(fraPictures);
        named(txtPicture[k], QStringLiteral("txtPicture_%1").arg(i));
        txtPicture[k]->setTabChangesFocus(true);
        txtPicture[k]->setFixedSize(PictureSize.width(), 60);
        LimitStoredLength(txtPicture[k], InstructLimit);
        optExIcon[k] = new QRadioButton(tr("Use as selection icon"), fraPictures);
        named(optExIcon[k], QStringLiteral("optExIcon_%1").arg(i));
        picturesGrid->addWidget(imgPicture[k], 0, i);
        picturesGrid->addWidget(txtPicture[k], 1, i);
        picturesGrid->addWidget(optExIcon[k], 2, i);
    }
    optExIcon[0]->setChecked(true);

    auto* linkForm = new QFormLayout;
    auto link = [&](QLabel*& label, const char* name, const QString& caption) {
        label = new QLabel(this);
        named(label, QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        linkForm->addRow(caption, label);
    };
    link(lblPictSaveFName, "lblPictSaveFName", tr("SaveAs:"));
    link(lblPictOpenFName, "lblPictOpenFName", tr("Prev Src:"));
    link(lblSrcPicture, "lblSrcPicture", tr("Source:"));
    link(lblLinkStatus, "lblLinkStatus", tr("Status:"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const QList<QPushButton*> okCancel = MakeButtonArray(
        this, QStringLiteral("cmdOkCancel"), OkCancelButtons(tr("OK"), tr("Cancel")),
        [this](int index) { cmdOkCancel_Click(static_cast<OkCancelButton>(index)); });
    for (int i = 0; i < 2; ++i) {
        cmdOkCancel[static_cast<size_t>(i)] = okCancel.at(i);
        buttons->addWidget(okCancel.at(i));
    }

    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(fraDescription);
    left->addWidget(fraOptions);
    top->addLayout(left);
    top->addWidget(fraView, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fraPictures);
    layout->addLayout(linkForm);
    layout->addLayout(buttons);
}

bool frmEditExercise::LoadRecord(std::optional<qint32> exerciseToEdit)
{
    const auto db = m_ctx.Db.LibraryDb();
    try {
        if (!exerciseToEdit) {
            m_isNew = true;
            m_record = {};
            const Result<qint32> next = NextExerciseID(db);
            if (!next) {
                ReportFailureTitled(m_ctx, tr("Error Loading Exercise"), next.Reason());
                return false;
            }
            m_record.Entry.ExerciseID = next.Value();
            m_record.Entry.Reps = 10;
            m_record.Entry.Hold = 0;
            m_record.Entry.Sets = 1;
            m_record.IconSrc = 1;
            FillJointList(lstJoint, QStringLiteral("Joint"));
            FillComboFromColumn(cboPattern, QStringLiteral("Motion"));
            FillComboFromColumn(cboType, QStringLiteral("Type"));
            setWindowTitle(tr("Exercise Number: ") + QString::number(m_record.Entry.ExerciseID));
        } else {
            std::optional<LibraryRecord> found = ReadExercise(db, *exerciseToEdit);
            if (!found) {
                ReportFailureTitled(m_ctx, tr("Error Loading Exercise"),
                                    tr("The exercise %1 is no longer in the library.")
                                        .arg(LibraryListModel::CodeText(*exerciseToEdit)));
                return false;
            }
            m_record = *found;
            const LibraryEntry& e = m_record.Entry;
            FillJointList(lstJoint, QStringLiteral("Joint"), &e.Joint);
            FillComboFromColumn(cboPattern, QStringLiteral("Motion"), &e.Motion);
            FillComboFromColumn(cboType, QStringLiteral("Type"), &e.Type);
            m_pictureSrc = m_record.PictureSrc;
            setWindowTitle(tr("Exercise Number: ") + LibraryListModel::CodeText(e.ExerciseID));
        }
    } catch (const DbError& e) {
        ReportFailureTitled(m_ctx, tr("Error Loading Exercise"), e.message());
        return false;
    }
    const LibraryEntry& e = m_record.Entry;
    txtAbbrevDesc->setText(e.AbbrevDesc);
    txtDescription->setText(e.Desc);
    txtRepsDef->setText(QString::number(e.Reps));
    txtHoldDef->setText(QString::number(e.Hold));
    txtSetsDef->setText(QString::number(e.Sets));
    const QString texts[3] = {e.Instruct0, e.Instruct1, e.Instruct2};
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        txtPicture[k]->setPlainText(FromCrLf(texts[i]));
        LoadPicture(i);
    }
    // IconSrc names the picture (1 to 3); anything else falls back to the first.
    const int icon = m_record.IconSrc >= 1 && m_record.IconSrc <= 3 ? m_record.IconSrc - 1 : 0;
    optExIcon[static_cast<size_t>(icon)]->setChecked(true);
    return true;
}

void frmEditExercise::FillJointList(QListWidget* list, const QString& column,
                                    const QString* current)
{
    list->clear();
    QStringList joints;
    for (const QString& value : DistinctColumnValues(m_ctx.Db.LibraryDb(), column))
        for (const QString& joint : ParseString(value))
            if (!joints.contains(joint))
                joints << joint;
    list->addItems(joints);
    if (!current)
        return;
    const QStringList selected = ParseString(*current);
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(selected.contains(list->item(i)->text()));
}

void frmEditExercise::FillComboFromColumn(QComboBox* combo, const QString& column,
                                          const QString* current)
{
    combo->clear();
    combo->addItems(DistinctColumnValues(m_ctx.Db.LibraryDb(), column));
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
    if (current)
        SelectComboItem(combo, *current);
}

void frmEditExercise::SelectComboItem(QComboBox* combo, const QString& value)
{
    const int i = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        combo->setCurrentIndex(i);
}

void frmEditExercise::cmdNewJoint_Click()
{
    const std::optional<QString> joint =
        m_ctx.Prompt().InputBox(tr("Add new joint"), tr("Enter new joint"));
    if (joint && !joint->isEmpty())
        lstJoint->addItem(*joint);
}

void frmEditExercise::LoadPicture(int i)
{
    // A picture that is missing or unreadable stays empty.
    QImage image;
    const QString path =
        FindMediaFile(m_ctx, MediaKind::Picture, PictureFileName(m_record.Entry.ExerciseID, i + 1));
    if (!path.isEmpty()) {
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        const QSize full = reader.size();
        if (full.isValid())
            reader.setScaledSize(full.scaled(PictureSize * 2, Qt::KeepAspectRatio));
        image = reader.read();
    }
    imgPicture[static_cast<size_t>(i)]->setPixmap(QPixmap::fromImage(image));
}

void frmEditExercise::LinkImageEditor()
{
    // The library list starts the editor just before: it may need a moment to answer.
    QDeadlineTimer deadline(g_linkTimeoutMs);
    while (!m_link.Connect(m_ctx.AppFolder(), 200)) {
        if (deadline.hasExpired()) {
            m_ctx.Prompt().Message(tr("Error Calling Image Editor"),
                                   tr("Can't find VMR Image Editor"), PromptIcon::Warning);
            return;
        }
        QThread::msleep(50);
    }
    m_statusBaseline = true;
}

void frmEditExercise::LinkItemChanged(const QString& item, const QString& value)
{
    if (item == LinkItem::StatFileName) {
        lblSrcPicture->setText(QDir::toNativeSeparators(value));
        return;
    }
    if (item != LinkItem::LinkStatus)
        return;
    lblLinkStatus->setText(value);
    if (m_statusBaseline) {
        // The value sent on connecting says nothing was saved yet.
        m_statusBaseline = false;
        return;
    }
    if (CurrentPictureIndex < 0)
        return;
    m_pictureSrc[static_cast<size_t>(CurrentPictureIndex)] = m_link.Value(LinkItem::StatFileName);
    LoadPicture(CurrentPictureIndex);
}

void frmEditExercise::imgPicture_DblClick(int i)
{
    if (!m_link.IsConnected()) {
        m_ctx.Prompt().Message(tr("Error: Can't Edit Image."),
                               tr("Image Editor is not running.") + QStringLiteral("\r\n") +
                                   tr("You must exit and restart the exercise library editor."),
                               PromptIcon::Information);
        return;
    }
    CurrentPictureIndex = i;
    CurrentPictureNumber = i + 1;
    const qint32 n = m_record.Entry.ExerciseID;
    // The editor saves only into the clinic's own picture folder.
    const QString folder = ClinicMediaFolder(m_ctx.AppFolder(), MediaKind::Picture);
    if (!QDir().mkpath(folder)) {
        m_ctx.Prompt().Message(
            tr("Error: imgPicture_DblClick"),
            tr("Error: the folder \"%1\" cannot be made.").arg(QDir::toNativeSeparators(folder)),
            PromptIcon::Information);
        return;
    }
    // Without a source of its own, the picture as it stands is opened.
    QString source = m_pictureSrc[static_cast<size_t>(i)];
    if (source.isEmpty() || !QFileInfo(source).isFile())
        source = FindMediaFile(m_ctx, MediaKind::Picture, PictureFileName(n, CurrentPictureNumber));
    const QString save =
        ClinicMediaPath(m_ctx, MediaKind::Picture, PictureFileName(n, CurrentPictureNumber));
    lblPictOpenFName->setText(QDir::toNativeSeparators(source));
    lblPictSaveFName->setText(QDir::toNativeSeparators(save));
    if (!m_link.Send(LinkItem::OpenFName, source) || !m_link.Send(LinkItem::SaveFName, save)) {
        m_ctx.Prompt().Message(tr("Error: imgPicture_DblClick"),
                               tr("Error: ") + m_link.ErrorString(), PromptIcon::Information);
        return;
    }
    m_link.Raise();
}

bool frmEditExercise::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < 3; ++i) {
            if (watched == imgPicture[static_cast<size_t>(i)]) {
                imgPicture_DblClick(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmEditExercise::StoreExerciseRow()
{
    const std::optional<qint16> reps = ParseDefault(txtRepsDef->text());
    const std::optional<qint16> hold = ParseDefault(txtHoldDef->text());
    const std::optional<qint16> sets = ParseDefault(txtSetsDef->text());
    if (!reps || !hold || !sets) {
        m_ctx.Prompt().Message(tr("Exercise Not Stored"),
                               tr("Reps, Hold and Sets must be whole numbers from 0 to 32767."),
                               PromptIcon::Information);
        return false;
    }
    LibraryRecord r = m_record;
    LibraryEntry& e = r.Entry;
    const qint32 n = e.ExerciseID;
    QStringList joints;
    for (int i = 0; i < lstJoint->count(); ++i)
        if (lstJoint->item(i)->isSelected())
            joints << lstJoint->item(i)->text();
    e.Joint = joints.join(QLatin1Char(','));
    e.AbbrevDesc = txtAbbrevDesc->text();
    e.Desc = txtDescription->text();
    e.Motion = cboPattern->currentText();
    e.Type = cboType->currentText();
    e.Reps = *reps;
    e.Hold = *hold;
    e.Sets = *sets;
    e.Icon = IconFileName(n);
    e.Picture0 = PictureFileName(n, 1);
    e.Picture1 = PictureFileName(n, 2);
    e.Picture2 = PictureFileName(n, 3);
    int icon = 0;
    for (int i = 0; i < 3; ++i)
        if (optExIcon[static_cast<size_t>(i)]->isChecked())
            icon = i;
    r.IconSrc = static_cast<qint16>(icon + 1);
    r.PictureSrc = m_pictureSrc;
    e.Instruct0 = ToCrLf(txtPicture[0]->toPlainText());
    e.Instruct1 = ToCrLf(txtPicture[1]->toPlainText());
    e.Instruct2 = ToCrLf(txtPicture[2]->toPlainText());
    e.HasVideo = false;
    e.code = QString::number(n);

    const auto notStored = [this](const QString& reason) {
        ReportFailureTitled(m_ctx, tr("Error Storing Exercise"),
                            tr("The exercise was not stored.") + QStringLiteral("\r\n\r\n") +
                                reason);
        return false;
    };
    // The icon is written beside its place first and goes in with the row.
    QList<PreparedFile> files;
    const QString iconSource =
        FindMediaFile(m_ctx, MediaKind::Picture, PictureFileName(n, icon + 1));
    if (!iconSource.isEmpty()) {
        const Result<QImage> picture = tramelle::LoadFile(iconSource);
        if (picture) {
            const QString folder = ClinicMediaFolder(m_ctx.AppFolder(), MediaKind::Icon);
            const QString destination = ClinicMediaPath(m_ctx, MediaKind::Icon, e.Icon);
            const Result<QString> prepared =
                QDir().mkpath(folder)
                    ? WriteResizedFile(picture.Value(), destination, IconWidth)
                    : Result<QString>::Failed(tr("The folder \"%1\" cannot be made.")
                                                  .arg(QDir::toNativeSeparators(folder)));
            if (!prepared)
                return notStored(prepared.Reason());
            files.append({prepared.Value(), destination});
        }
    }
    try {
        if (const Outcome stored = StoreExercise(m_ctx.Db.LibraryDb(), r, m_isNew, files); !stored)
            return notStored(stored.Reason());
    } catch (const DbError& err) {
        return notStored(err.message());
    }
    m_record = r;
    m_isNew = false;
    m_stored = n;
    return true;
}

void frmEditExercise::cmdOkCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok && !StoreExerciseRow())
        return;
    close();
}

void frmEditExercise::reject()
{
    close();
}

void frmEditExercise::closeEvent(QCloseEvent* event)
{
    if (!m_finished) {
        m_finished = true;
        m_link.Disconnect();
        emit closedWith(m_stored);
    }
    QWidget::closeEvent(event); // QDialog's would call reject(), which closes
}

} // namespace tramelle
