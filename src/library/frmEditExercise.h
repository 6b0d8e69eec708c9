#pragma once

#include "ButtonArray.h"
#include "ImageEditorLink.h"
#include "LibraryStore.h"

#include <QDialog>
#include <QStringList>
#include <array>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tramelle {

class AppContext;

// One exercise of the library: its descriptions, joints, pattern and type, default
// repetitions, hold and sets, and its three pictures with their texts. The pictures are
// made in the image editor program over the link; OK stores the row and makes the icon.
class frmEditExercise : public QDialog
{
    Q_OBJECT

public:
    // With no exercise a new one is made under the next free number.
    frmEditExercise(AppContext& ctx, std::optional<qint32> exerciseToEdit,
                    QWidget* parent = nullptr);
    ~frmEditExercise() override;

    // False when the exercise could not be read: the dialog must not be used.
    bool Loaded() const { return m_loaded; }
    qint32 ExerciseNumber() const { return m_record.Entry.ExerciseID; }
    bool IsNew() const { return m_isNew; }
    const std::array<QString, 3>& PictureSrc() const { return m_pictureSrc; }
    ImageEditorLink& Link() { return m_link; }

    // The trimmed, non-empty pieces of a comma-separated value (null reads as "").
    static QStringList ParseString(const QVariant& value);

    // How long the dialog waits for the image editor to answer when it opens.
    static void SetLinkTimeout(int ms);

    // Double click on picture i: the editor opens its source and saves to its file.
    void imgPicture_DblClick(int i);

signals:
    // The dialog closed: with the number of the exercise it stored, or nothing.
    void closedWith(std::optional<qint32> stored);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override;

private:
    void CreateControls();
    bool LoadRecord(std::optional<qint32> exerciseToEdit);
    void LinkImageEditor();
    void LinkItemChanged(const QString& item, const QString& value);
    void LoadPicture(int i);
    void FillJointList(QListWidget* list, const QString& column, const QString* current = nullptr);
    void FillComboFromColumn(QComboBox* combo, const QString& column,
                             const QString* current = nullptr);
    static void SelectComboItem(QComboBox* combo, const QString& value);
    void cmdNewJoint_Click();
    void cmdOkCancel_Click(OkCancelButton button);
    bool StoreExerciseRow();

    AppContext& m_ctx;
    bool m_loaded = false;
    bool m_isNew = false;
    bool m_finished = false;
    std::optional<qint32> m_stored;
    LibraryRecord m_record;
    std::array<QString, 3> m_pictureSrc;
    int CurrentPictureIndex = -1;
    int CurrentPictureNumber = 0;
    ImageEditorLink m_link;
    bool m_statusBaseline = false; // the editor's first status after connecting is not a save

    QLineEdit* txtAbbrevDesc;
    QLineEdit* txtDescription;
    QListWidget* lstJoint;
    QPushButton* cmdNewJoint;
    QComboBox* cboPattern;
    QComboBox* cboType;
    QLineEdit* txtRepsDef;
    QLineEdit* txtHoldDef;
    QLineEdit* txtSetsDef;
    std::array<QLabel*, 3> imgPicture{};
    std::array<QPlainTextEdit*, 3> txtPicture{};
    std::array<QRadioButton*, 3> optExIcon{};
    QLabel* lblPictSaveFName;
    QLabel* lblPictOpenFName;
    QLabel* lblSrcPicture;
    QLabel* lblLinkStatus;
    std::array<QPushButton*, 2> cmdOkCancel{};
};

} // namespace tramelle
