#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>

namespace qb {

// Waits for a network answer without freezing the program: a local event
// loop runs (the windows repaint, timers fire) until one of the signals
// given comes, or the time-out passes.
class LocalWait
{
public:
    explicit LocalWait(int timeoutMs);
    LocalWait(const LocalWait &) = delete;
    LocalWait &operator=(const LocalWait &) = delete;

    template <typename Sender, typename Signal> void quitOn(const Sender *sender, Signal signal)
    {
        QObject::connect(sender, signal, &m_loop, [this] { m_loop.quit(); });
    }

    // Waits unless done() holds already; true when done() holds at the end,
    // false after the time-out.
    bool exec(const std::function<bool()> &done);

private:
    QEventLoop m_loop;
    QTimer m_timer;
};

// Lets the event loop run for ms milliseconds (a back-off between retries).
void pause(int ms);

} // namespace qb
