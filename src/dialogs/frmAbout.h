#pragma once

#include <QDialog>
#include <array>

class QLabel;

namespace tramelle {

class AppContext;

// "About VMR Tramelle": version, publisher, and where the program keeps its data.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout(AppContext& ctx, QWidget* parent = nullptr);

    // "Version " and the program's three version numbers.
    static QString VersionText();

    // Starts the platform's system information program, or says that none is there.
    void StartSysInfo();

private slots:
    void cmdSysInfo_Click();
    void cmdCopy_Click();

private:
    AppContext& m_ctx;
    QLabel* lblSystem;
};

} // namespace tramelle
