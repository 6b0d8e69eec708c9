#pragma once

#include "ButtonArray.h"

#include <QDialog>
#include <QString>
#include <array>

class QLabel;
class QPushButton;

namespace tramelle {

class AppContext;

// "Media Locations": the icon, picture and movie folders, each chosen by picking one of
// its files.
class frmMedia : public QDialog
{
    Q_OBJECT

public:
    frmMedia(AppContext& ctx, QWidget* parent = nullptr);

    // Asks for the sample file of a kind ("Icon", "Picture", "Movie"); the folder of the
    // chosen file with its trailing "/", or "" when cancelled.
    QString FindMediaPath(const QString& kind, const QString& sample);

    // The folders the labels show: icons, pictures, movies.
    const std::array<QString, 3>& Folders() const { return m_folders; }

private:
    // The button of that index: 0 icons, 1 pictures, 2 movies.
    void cmdMedia_Click(size_t index);
    void cmdOkCancel_Click(OkCancelButton button);

    void ShowFolder(size_t index);

    AppContext& m_ctx;
    std::array<QPushButton*, 3> cmdMedia{};
    std::array<QLabel*, 3> lblMedia{};
    std::array<QString, 3> m_folders;
};

} // namespace tramelle
