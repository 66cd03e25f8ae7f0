#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>

class AppContext;
class Screen;
class QWidget;

// What a menu entry opens, and what one screen opens of another.
struct ScreenEntry
{
    // objectName of the menu entry; empty for a screen only other screens
    // (or the start-up) open.
    QString menuEntry;
    // Permission names asked, in order, before the screen opens, whatever
    // opens it (its menu entry, another screen); any one grants. Empty:
    // nothing is asked.
    QStringList permissions;
    // objectName of the screen; empty for an entry that only asks, or that
    // runs a command.
    QString screenName;
    std::function<Screen *(AppContext &)> create;
    // For a menu entry that opens no screen: what it does, over the main
    // window, once the permissions have let the user through.
    std::function<void(QWidget *, AppContext &)> run {};
    // What a user who may not is told; empty: that they may not view this
    // record.
    QString refusal {};
};

// The one table of screens. The main window knows no feature: it asks this.
class ScreenRegistry
{
public:
    ScreenRegistry() = default;
    ScreenRegistry(std::initializer_list<ScreenEntry> entries)
        : m_entries(entries)
    {
    }
    explicit ScreenRegistry(QList<ScreenEntry> entries)
        : m_entries(std::move(entries))
    {
    }

    const ScreenEntry *forMenu(const QString &menuEntry) const
    {
        for (const ScreenEntry &entry : m_entries) {
            if (!menuEntry.isEmpty() && entry.menuEntry == menuEntry)
                return &entry;
        }
        return nullptr;
    }

    const ScreenEntry *forScreen(const QString &screenName) const
    {
        for (const ScreenEntry &entry : m_entries) {
            if (!screenName.isEmpty() && entry.screenName == screenName && entry.create)
                return &entry;
        }
        return nullptr;
    }

    const QList<ScreenEntry> &entries() const { return m_entries; }

private:
    QList<ScreenEntry> m_entries;
};

// A factory for a screen class whose constructor takes the context.
template <class T> std::function<Screen *(AppContext &)> make()
{
    return [](AppContext &context) -> Screen * { return new T(context); };
}
