#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace wip {

// What the header page of an Access (Jet) database file tells before the
// file is opened: its version and its database password.
struct JetHeader
{
    // 0 Jet 3 (Access 97), 1 Jet 4 (Access 2000-2003), 2 and up .accdb.
    int version = 0;
    // Empty when the database has no password.
    QString password;
};

// Reads the header from the first bytes of a file (at least 0x98 of them).
// Nothing when they are not an Access database's header.
//
// From 0x18 the header is scrambled with RC4 under a fixed key (128 bytes
// from Jet 4 on, 126 in Jet 3). The password sits at 0x42: Jet 3 keeps 20
// bytes, later versions 20 UCS-2 characters masked with the whole days of
// the creation date (the double at 0x72), repeated every 4 bytes.
std::optional<JetHeader> readJetHeader(const QByteArray &start);

// Whether a password opens a database with this header: any does when the
// database has none; otherwise it must be the same, letter case included.
bool passwordOpens(const JetHeader &header, const QString &password);

} // namespace wip
