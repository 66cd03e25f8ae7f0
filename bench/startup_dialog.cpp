// The start-up benchmark's baseline: the least a Qt Widgets program does to
// show a window, an empty dialog, leaving at once as the program does under
// JT_EXIT_AT_LOGIN.
#include <QApplication>
#include <QDialog>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
