#pragma once

#include <QString>

class QWidget;

// The window screens open in. The main window implements it; a screen asks
// the host of its own window to open another one.
class ScreenHost
{
public:
    virtual ~ScreenHost() = default;

    // Opens the screen with this object name through the registry unless it
    // is open already, and brings it to the front in its normal state.
    // nullptr when there is no such screen or it could not load.
    virtual QWidget *showScreen(const QString &screenName) = 0;

    // The host of the window a widget sits in, or nullptr.
    static ScreenHost *of(const QWidget *widget);
};
