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
    // is open already, and brings it to the front in its normal state. The
    // logged-in user must hold the screen's permission (any one of its
    // registry entry's), and `contentPermission` as well when given: what a
    // screen such as the report viewer is about to show. nullptr when it was
    // refused (the user has been told), there is no such screen or it could
    // not load.
    virtual QWidget *showScreen(const QString &screenName, const QString &contentPermission = {}) = 0;

    // The host of the window a widget sits in, or nullptr.
    static ScreenHost *of(const QWidget *widget);
};
