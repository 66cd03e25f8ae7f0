#include "quickbooks/LocalWait.h"

namespace qb {

LocalWait::LocalWait(int timeoutMs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may end a back-off early; the service asked for at least this.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(std::max(0, timeoutMs));
    QObject::connect(&m_timer, &QTimer::timeout, &m_loop, [this] { m_loop.quit(); });
}

bool LocalWait::exec(const std::function<bool()> &done)
{
    if (done())
        return true;
    m_timer.start();
    // A signal may quit the loop before done() holds (another reply's); go on
    // waiting until it does or the time is up.
    while (!done() && m_timer.isActive())
        m_loop.exec();
    m_timer.stop();
    return done();
}

void pause(int ms)
{
    if (ms <= 0)
        return;
    LocalWait wait(ms);
    wait.exec([] { return false; });
}

} // namespace qb
