#pragma once

#include <QString>

class AppContext;
class MDI;

// The program's entry point: builds the application, starts up and runs.
int Main(int argc, char *argv[]);

// Start-up, in order: read <folder>/config.txt, open the connection, check
// the database (one that lacks only the program's own additions, has narrow
// text columns or is at an older schema version is offered an upgrade), load
// the company settings, refuse a second copy, show the main window locked for
// login, open the company settings when the Company table is empty, and open
// the login screen. Returns the main window, or nullptr when start-up failed
// (a message has then been shown, and nothing written but an upgrade the user
// agreed to).
MDI *StartUp(const QString &folder);

// The main window of this run (nullptr before start-up and after shut-down).
MDI *MainWindow();
// The context of this run (nullptr before the first start-up).
AppContext *ProgramContext();
