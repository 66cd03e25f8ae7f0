#pragma once

#include "widgets/Screen.h"

// The About box: company line, version, credits, and a button that starts
// the system-information program.
class frmAbout : public Screen
{
    Q_OBJECT
public:
    explicit frmAbout(AppContext &context);

    // Starts the system-information program, or says that there is none.
    void StartSysInfo();
};
