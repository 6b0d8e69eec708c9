#pragma once

#include "PictureDocument.h"

#include <QMainWindow>
#include <functional>

class QLabel;
class QSlider;
class QUndoStack;

namespace tramelle {
class PromptService;
}

namespace tramelle::imageeditor {

class CropView;
class LinkServer;

// The image editor's window: one picture, its edits with undo, and the link through
// which the exercise editor sends the picture to open and the name to save it under.
class ImageEditorWindow : public QMainWindow
{
    Q_OBJECT
public:
    ImageEditorWindow(PromptService& prompt, LinkServer& link, const QString& appFolder,
                      QWidget* parent = nullptr);
    ~ImageEditorWindow() override;

    // Opens a picture, asking first about unsaved changes. On failure the picture that was
    // open stays open.
    bool OpenPicture(const QString& path);
    // Saves to the name the link sent (or one the user chooses).
    bool Save();

    const PictureDocument& Document() const { return m_document; }
    QUndoStack* UndoStack() const { return m_undo; }
    QString SaveName() const { return m_saveName; }

    // Used by the undo steps.
    void ApplyState(const EditState& state);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void Edit(const EditState& next, const QString& text, int mergeId = -1);
    bool MaybeSave();
    void OnPoked(const QString& item, const QString& value);
    void BringToFront();
    void ChooseAndOpen();
    void ConnectSlider(QSlider* slider, int mergeId, const QString& text,
                       std::function<EditState(int)> make);
    void SyncControls();

    PromptService& m_prompt;
    LinkServer& m_link;
    QString m_appFolder;
    PictureDocument m_document;
    QUndoStack* m_undo = nullptr;
    CropView* m_view = nullptr;
    QSlider* m_straighten = nullptr;
    QSlider* m_brightness = nullptr;
    QSlider* m_contrast = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_saveLabel = nullptr;
    QLabel* m_adjustLabel = nullptr;
    QString m_saveName;
    int m_saves = 0;
    bool m_syncing = false;
    EditState m_slideStart;
};

} // namespace tramelle::imageeditor
