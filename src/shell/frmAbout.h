#pragma once

#include <QWidget>

// The About box: company line, version, credits, and a button that starts
// the system-information program.
class frmAbout : public QWidget
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    // Starts the system-information program, or says that there is none.
    void StartSysInfo();
};
