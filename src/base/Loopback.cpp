#include "base/Loopback.h"

#include <QHostAddress>
#include <QUrl>
#include <algorithm>

namespace Loopback {

bool isHost(QString host)
{
    host = host.trimmed().toLower();
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host.endsWith(u'.'))
        host.chop(1);
    if (host == u"localhost")
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

bool isHostHeader(const QByteArray &header)
{
    QString host = QString::fromLatin1(header).trimmed();
    // host [":" port], an IPv6 address in brackets.
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon >= 0 && colon > host.lastIndexOf(u']') && (host.startsWith(u'[') || host.indexOf(u':') == colon)) {
        const QString port = host.mid(colon + 1);
        if (!std::all_of(port.begin(), port.end(), [](QChar c) { return c.isDigit(); }))
            return false;
        host.truncate(colon);
    }
    return isHost(host);
}

bool isPrivateChannel(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"https" || (scheme == u"http" && isHost(url.host()));
}

} // namespace Loopback
