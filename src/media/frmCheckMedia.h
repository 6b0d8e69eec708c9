#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class QComboBox;
class QPushButton;

namespace tramelle {

class AppContext;

// "Exericse Pictures Not Found": points the picture and movie folders at the product media
// (the "CD") or copies both folders to the application folder.
class frmCheckMedia : public QDialog
{
    Q_OBJECT

public:
    frmCheckMedia(AppContext& ctx, QWidget* parent = nullptr);

    // The folders the drive chooser offers: the product media, the CDDrive setting and
    // the mounted removable media, each with a trailing "/".
    static QStringList DriveChoices(const AppContext& ctx);

    // The folder chosen in Drive1, with a trailing "/".
    QString ChosenDrive() const;
    // True when the chosen drive holds the probe picture; otherwise tells the user.
    bool CDHasPictures();
    // Copies the pictures and movies to the application folder and points the settings at
    // the copies; false (the user told why, the settings unchanged) otherwise.
    bool CopyMediaFromCD();

    bool Busy() const { return m_busy; }

private slots:
    void cmdFindCD_Click();

private:
    // The indexes of cmdPictureLocation.
    enum class PictureLocation
    {
        CD = 0,
        HardDrive = 1,
        Cancel = 2
    };
    void cmdPictureLocation_Click(PictureLocation location);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void SelectCDDrive();

    AppContext& m_ctx;
    QComboBox* Drive1;
    std::array<QPushButton*, 3> cmdPictureLocation{};
    bool m_busy = false;
};

} // namespace tramelle
