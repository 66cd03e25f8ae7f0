#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

// Which addresses name this computer itself. Secrets may travel in plain
// http only to those; a local test service answers only requests addressed
// to them.
namespace Loopback {

// localhost, 127.0.0.0/8 or ::1 (brackets and a final dot allowed).
bool isHost(QString host);
// An HTTP Host header naming a loopback host, with or without a port.
bool isHostHeader(const QByteArray &header);
// Whether what is sent to the address stays private on the way: https to
// any host, plain http to a loopback one only.
bool isPrivateChannel(const QUrl &url);

} // namespace Loopback
