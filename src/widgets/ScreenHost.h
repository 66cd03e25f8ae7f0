#pragma once

#include <QString>

class QWidget;

// The window screens open in. The main window implements it; a screen asks
// the host of its own window to open another one.
class ScreenHost
{
public:
    virtual ~ScreenHost() = default;

    // How a screen is opened from another one: Checked refuses a user who
    // lacks the screen's permission; ReadOnlyIfDenied opens it for them all
    // the same, read-only (a screen that another one hands a record to for
    // looking at, such as a job from the board).
    enum class OpenMode { Checked, ReadOnlyIfDenied };

    // Opens the screen with this object name through the registry unless it
    // is open already, and brings it to the front in its normal state. The
    // logged-in user must hold the screen's permission (any one of its
    // registry entry's), and `contentPermission` as well when given: what a
    // screen such as the report viewer is about to show. nullptr when it was
    // refused (the user has been told), there is no such screen or it could
    // not load.
    virtual QWidget *showScreen(
        const QString &screenName, const QString &contentPermission = {}, OpenMode mode = OpenMode::Checked)
        = 0;

    // Whether the logged-in user may still change what the open screen of
    // this name shows: its permission, asked again of the database at each
    // save. Tells the user when not.
    virtual bool mayChange(const QString &screenName) = 0;

    // The host of the window a widget sits in, or nullptr.
    static ScreenHost *of(const QWidget *widget);
};
