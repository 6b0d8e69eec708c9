#include "ImageEditorWindow.h"

#include "CropView.h"
#include "ImageEditorLink.h"
#include "LinkServer.h"
#include "Paths.h"
#include "Services.h"
#include "WaitPointer.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoCommand>
#include <QUndoStack>
#include <QVBoxLayout>

namespace tramelle::imageeditor {

namespace {

enum MergeId
{
    CropKeys = 1,
    StraightenKeys,
    BrightnessKeys,
    ContrastKeys
};

// One edit: the states before and after it.
class StateCommand : public QUndoCommand
{
public:
    StateCommand(ImageEditorWindow& window, const EditState& before, const EditState& after,
                 const QString& text, int mergeId)
        : QUndoCommand(text), m_window(window), m_before(before), m_after(after), m_mergeId(mergeId)
    {
    }
    void undo() override { m_window.ApplyState(m_before); }
    void redo() override { m_window.ApplyState(m_after); }
    int id() const override { return m_mergeId; }
    // Presses of the same key run together into one step.
    bool mergeWith(const QUndoCommand* other) override
    {
        m_after = static_cast<const StateCommand*>(other)->m_after;
        return true;
    }

private:
    ImageEditorWindow& m_window;
    EditState m_before, m_after;
    int m_mergeId;
};

QSlider* MakeSlider(const QString& name, int minimum, int maximum)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setPageStep((maximum - minimum) / 20);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval((maximum - minimum) / 4);
    return slider;
}

} // namespace

ImageEditorWindow::ImageEditorWindow(PromptService& prompt, LinkServer& link,
                                     const QString& appFolder, QWidget* parent)
    : QMainWindow(parent), m_prompt(prompt), m_link(link), m_appFolder(appFolder)
{
    setObjectName(QStringLiteral("frmImageEditor"));
    m_undo = new QUndoStack(this);
    BuildWindow();
    connect(&m_link, &LinkServer::Poked, this, &ImageEditorWindow::OnPoked);
    connect(&m_link, &LinkServer::RaiseRequested, this, &ImageEditorWindow::BringToFront);
    connect(m_undo, &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });
    SyncControls();
}

ImageEditorWindow::~ImageEditorWindow()
{
    // The steps call back into the window; they go before it does.
    m_undo->clear();
}

void ImageEditorWindow::BuildWindow()
{
    auto action = [this](const QString& name, const QString& text, const QKeySequence& keys,
                         QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setShortcut(keys);
        if (icon != QStyle::SP_CustomBase)
            a->setIcon(style()->standardIcon(icon));
        return a;
    };
    QAction* open = action(QStringLiteral("mnuOpen"), tr("&Open..."), QKeySequence::Open,
                           QStyle::SP_DialogOpenButton);
    QAction* save = action(QStringLiteral("mnuSave"), tr("&Save"), QKeySequence::Save,
                           QStyle::SP_DialogSaveButton);
    QAction* exit = action(QStringLiteral("mnuExit"), tr("E&xit"), QKeySequence::Quit);
    QAction* undo = m_undo->createUndoAction(this, tr("&Undo"));
    undo->setObjectName(QStringLiteral("mnuUndo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    QAction* redo = m_undo->createRedoAction(this, tr("&Redo"));
    redo->setObjectName(QStringLiteral("mnuRedo"));
    redo->setShortcut(QKeySequence::Redo);
    redo->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    QAction* left =
        action(QStringLiteral("mnuRotateLeft"), tr("Rotate &Left"), QKeySequence(tr("Ctrl+L")));
    QAction* right =
        action(QStringLiteral("mnuRotateRight"), tr("Rotate &Right"), QKeySequence(tr("Ctrl+R")));
    QAction* flipH = action(QStringLiteral("mnuFlipHorizontal"), tr("Flip &Horizontal"),
                            QKeySequence(tr("Ctrl+H")));
    QAction* flipV =
        action(QStringLiteral("mnuFlipVertical"), tr("Flip &Vertical"), QKeySequence(tr("Ctrl+J")));

    connect(open, &QAction::triggered, this, &ImageEditorWindow::ChooseAndOpen);
    connect(save, &QAction::triggered, this, [this] { Save(); });
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(left, &QAction::triggered, this,
            [this] { Edit(m_document.Rotated(false), tr("Rotate Left")); });
    connect(right, &QAction::triggered, this,
            [this] { Edit(m_document.Rotated(true), tr("Rotate Right")); });
    connect(flipH, &QAction::triggered, this,
            [this] { Edit(m_document.Flipped(true), tr("Flip Horizontal")); });
    connect(flipV, &QAction::triggered, this,
            [this] { Edit(m_document.Flipped(false), tr("Flip Vertical")); });

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addActions({open, save});
    file->addSeparator();
    file->addAction(exit);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({undo, redo});
    QMenu* picture = menuBar()->addMenu(tr("&Picture"));
    picture->addActions({left, right, flipH, flipV});

    QToolBar* tools = addToolBar(tr("Tools"));
    tools->setObjectName(QStringLiteral("tbrTools"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tools->addActions({open, save});
    tools->addSeparator();
    tools->addActions({undo, redo});
    tools->addSeparator();
    tools->addActions({left, right, flipH, flipV});

    m_view = new CropView(m_document);
    connect(m_view, &CropView::CropChanged, this, [this](const QRectF& crop, bool merge) {
        Edit(m_document.Cropped(crop), tr("Crop"), merge ? CropKeys : -1);
    });

    m_straighten = MakeSlider(QStringLiteral("sldStraighten"), int(-MaxStraightenDegrees * 10),
                              int(MaxStraightenDegrees * 10));
    m_brightness = MakeSlider(QStringLiteral("sldBrightness"), -MaxAdjustment, MaxAdjustment);
    m_contrast = MakeSlider(QStringLiteral("sldContrast"), -MaxAdjustment, MaxAdjustment);
    ConnectSlider(m_straighten, StraightenKeys, tr("Straighten"),
                  [this](int tenths) { return m_document.Straightened(tenths / 10.0); });
    ConnectSlider(m_brightness, BrightnessKeys, tr("Brightness"), [this](int value) {
        return m_document.Adjusted(value, m_document.State().Contrast);
    });
    ConnectSlider(m_contrast, ContrastKeys, tr("Contrast"), [this](int value) {
        return m_document.Adjusted(m_document.State().Brightness, value);
    });

    auto* adjust = new QGroupBox(tr("Adjust"));
    auto* adjustForm = new QFormLayout(adjust);
    adjustForm->addRow(tr("Straighten:"), m_straighten);
    adjustForm->addRow(tr("Brightness:"), m_brightness);
    adjustForm->addRow(tr("Contrast:"), m_contrast);
    m_adjustLabel = new QLabel;
    m_adjustLabel->setObjectName(QStringLiteral("lblAdjust"));
    adjustForm->addRow(m_adjustLabel);

    auto* crop = new QGroupBox(tr("Crop"));
    auto* cropLayout = new QVBoxLayout(crop);
    auto* cropHelp =
        new QLabel(tr("Drag the frame to move it and its corners to resize it. With the "
                      "picture selected, the arrow keys move the frame and Shift with "
                      "the arrow keys resizes it. The frame is saved as a %1 x %2 picture.")
                       .arg(OutputWidth)
                       .arg(OutputHeight));
    cropHelp->setWordWrap(true);
    cropLayout->addWidget(cropHelp);

    auto* files = new QGroupBox(tr("Files"));
    auto* filesForm = new QFormLayout(files);
    m_sourceLabel = new QLabel;
    m_sourceLabel->setObjectName(QStringLiteral("lblSource"));
    m_saveLabel = new QLabel;
    m_saveLabel->setObjectName(QStringLiteral("lblSaveName"));
    for (QLabel* label : {m_sourceLabel, m_saveLabel}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    filesForm->addRow(tr("Source:"), m_sourceLabel);
    filesForm->addRow(tr("Save as:"), m_saveLabel);

    auto* side = new QWidget;
    side->setFixedWidth(300);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(adjust);
    sideLayout->addWidget(crop);
    sideLayout->addWidget(files);
    sideLayout->addStretch();

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->addWidget(m_view, 1);
    layout->addWidget(side);
    setCentralWidget(central);
    statusBar()->showMessage(tr("Ready"));
    setWindowTitle(tr("Image Editor") + QStringLiteral("[*]"));
}

void ImageEditorWindow::ConnectSlider(QSlider* slider, int mergeId, const QString& text,
                                      std::function<EditState(int)> make)
{
    // A drag shows each position at once and becomes one step when the slider is let go;
    // keys and the wheel make steps that run together while the same slider is used.
    connect(slider, &QSlider::sliderPressed, this, [this] { m_slideStart = m_document.State(); });
    connect(slider, &QSlider::valueChanged, this, [this, slider, mergeId, text, make](int value) {
        if (m_syncing || !m_document.IsOpen())
            return;
        if (slider->isSliderDown()) {
            m_document.SetState(make(value));
            SyncControls();
            return;
        }
        Edit(make(value), text, mergeId);
    });
    connect(slider, &QSlider::sliderReleased, this, [this, text] {
        if (!m_document.IsOpen() || m_document.State() == m_slideStart)
            return;
        m_undo->push(new StateCommand(*this, m_slideStart, m_document.State(), text, -1));
    });
}

void ImageEditorWindow::Edit(const EditState& next, const QString& text, int mergeId)
{
    if (!m_document.IsOpen() || next == m_document.State())
        return;
    m_undo->push(new StateCommand(*this, m_document.State(), next, text, mergeId));
}

void ImageEditorWindow::ApplyState(const EditState& state)
{
    m_document.SetState(state);
    SyncControls();
}

void ImageEditorWindow::SyncControls()
{
    m_syncing = true;
    const EditState& state = m_document.State();
    m_straighten->setValue(int(std::lround(state.Straighten * 10)));
    m_brightness->setValue(state.Brightness);
    m_contrast->setValue(state.Contrast);
    m_syncing = false;
    const bool open = m_document.IsOpen();
    for (QWidget* w : {static_cast<QWidget*>(m_straighten), static_cast<QWidget*>(m_brightness),
                       static_cast<QWidget*>(m_contrast)})
        w->setEnabled(open);
    for (const char* name :
         {"mnuSave", "mnuRotateLeft", "mnuRotateRight", "mnuFlipHorizontal", "mnuFlipVertical"})
        if (auto* a = findChild<QAction*>(QString::fromLatin1(name)))
            a->setEnabled(open);
    m_adjustLabel->setText(open ? tr("Straighten %1°, brightness %2, contrast %3")
                                      .arg(QLocale().toString(state.Straighten, 'f', 1))
                                      .arg(state.Brightness)
                                      .arg(state.Contrast)
                                : QString());
    m_sourceLabel->setText(open ? QDir::toNativeSeparators(m_document.FileName()) : tr("(none)"));
    m_saveLabel->setText(m_saveName.isEmpty() ? tr("(chosen when saving)")
                                              : QDir::toNativeSeparators(m_saveName));
    setWindowTitle((open ? QFileInfo(m_document.FileName()).fileName() + QStringLiteral("[*] - ")
                         : QString()) +
                   tr("Image Editor"));
    if (!open)
        setWindowTitle(tr("Image Editor") + QStringLiteral("[*]"));
    m_view->update();
}

bool ImageEditorWindow::OpenPicture(const QString& path)
{
    if (!MaybeSave())
        return false;
    PictureDocument next;
    QString error;
    bool opened = false;
    {
        WaitPointer wait;
        statusBar()->showMessage(tr("Opening %1").arg(QDir::toNativeSeparators(path)));
        opened = next.Open(path, &error);
    }
    if (!opened) {
        statusBar()->showMessage(tr("Ready"));
        m_prompt.Message(tr("Open Picture"),
                         tr("The picture \"%1\" cannot be opened.\n%2")
                             .arg(QDir::toNativeSeparators(path), error),
                         PromptIcon::Warning);
        return false;
    }
    m_undo->clear();
    m_document = std::move(next);
    m_undo->setClean();
    setWindowModified(false);
    SyncControls();
    m_link.Advise(LinkItem::StatFileName, m_document.FileName());
    statusBar()->showMessage(
        tr("%1 x %2 pixels").arg(m_document.Source().width()).arg(m_document.Source().height()));
    return true;
}

void ImageEditorWindow::ChooseAndOpen()
{
    const QString folder =
        m_document.IsOpen() ? QFileInfo(m_document.FileName()).absolutePath() : QDir::homePath();
    const QString path = m_prompt.OpenFileName(
        tr("Open Picture"), folder, tr("Pictures (*.jpg *.jpeg *.png *.bmp);;All files (*)"));
    if (!path.isEmpty())
        OpenPicture(path);
}

bool ImageEditorWindow::Save()
{
    if (!m_document.IsOpen()) {
        m_prompt.Message(tr("Save Picture"), tr("There is no picture to save."),
                         PromptIcon::Information);
        return false;
    }
    QString target = m_saveName;
    if (target.isEmpty()) {
        QDir().mkpath(ClinicPictureFolder(m_appFolder));
        target = m_prompt.SaveFileName(tr("Save Picture"), ClinicPictureFolder(m_appFolder),
                                       tr("JPEG pictures (*.jpg)"));
        if (target.isEmpty())
            return false;
    }
    QString error;
    if (!CheckSaveName(target, m_appFolder, &error)) {
        m_prompt.Message(tr("Save Picture"),
                         tr("The picture cannot be saved as \"%1\".\n%2")
                             .arg(QDir::toNativeSeparators(target), error),
                         PromptIcon::Warning);
        return false;
    }
    bool written = false;
    {
        WaitPointer wait;
        written = WriteJpeg(m_document.Render(), ResolvePath(target), &error);
    }
    if (!written) {
        m_prompt.Message(
            tr("Save Picture"),
            tr("The picture could not be saved as \"%1\": %2\nThe file there is unchanged.")
                .arg(QDir::toNativeSeparators(target), error),
            PromptIcon::Warning);
        return false;
    }
    m_saveName = target;
    m_undo->setClean();
    ++m_saves;
    m_link.Advise(LinkItem::LinkStatus, QString::number(m_saves));
    SyncControls();
    statusBar()->showMessage(tr("Saved as %1").arg(QDir::toNativeSeparators(target)));
    return true;
}

bool ImageEditorWindow::MaybeSave()
{
    if (!m_document.IsOpen() || m_undo->isClean())
        return true;
    switch (m_prompt.Message(tr("Save Changes"),
                             tr("The changes to \"%1\" are not saved. Save them?")
                                 .arg(QFileInfo(m_document.FileName()).fileName()),
                             PromptIcon::Question, PromptButtons::YesNoCancel)) {
    case PromptAnswer::Yes:
        return Save();
    case PromptAnswer::No:
        return true;
    default:
        return false;
    }
}

void ImageEditorWindow::OnPoked(const QString& item, const QString& value)
{
    BringToFront();
    if (item == LinkItem::OpenFName) {
        // An exercise picture made from no source yet: the user opens one here.
        if (!value.trimmed().isEmpty())
            OpenPicture(value);
    } else if (item == LinkItem::SaveFName) {
        // Changes meant for the previous name are offered for it before the name changes.
        if (value != m_saveName)
            MaybeSave();
        m_saveName = value;
        SyncControls();
    }
}

void ImageEditorWindow::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void ImageEditorWindow::closeEvent(QCloseEvent* event)
{
    if (MaybeSave())
        event->accept();
    else
        event->ignore();
}

} // namespace tramelle::imageeditor
