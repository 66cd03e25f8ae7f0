#pragma once

#include <QString>
#include <variant>

// The field server's own TLS certificate for the office network: one the
// office makes itself and the phones are told to trust, compared by its
// fingerprint.
namespace field {

struct CertificateFiles
{
    QString certificate;
    QString key;
    QString fingerprint;
};

// A self-signed certificate for `hostName` (a host name or an IP address):
// CN and subject alternative name hostName, with localhost and 127.0.0.1
// beside it; an EC P-256 key; valid 825 days (the most an iPhone accepts).
// Written to dir/field.crt and dir/field.key, the key readable by its owner
// only; the folder is made when missing. Refuses to overwrite either file.
// The error text otherwise.
std::variant<CertificateFiles, QString> makeSelfSigned(const QString &dir, const QString &hostName);

// The SHA-256 fingerprint of the first certificate of a PEM file, as browsers
// show it: "AB:CD:..." in upper-case hex. The error text otherwise.
std::variant<QString, QString> fingerprintOf(const QString &certificatePath);

} // namespace field
