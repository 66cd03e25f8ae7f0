#include "field/Certificate.h"

#include "base/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace field {

namespace {

    constexpr int kValidDays = 825;

    template <auto Free> struct Deleter
    {
        template <typename T> void operator()(T *p) const { Free(p); }
    };
    using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
    using Cert = std::unique_ptr<X509, Deleter<X509_free>>;
    using Bio = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
    using Number = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
    using Names = std::unique_ptr<GENERAL_NAMES, Deleter<GENERAL_NAMES_free>>;
    using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

    // What OpenSSL said last about `what`, its queue emptied.
    QString openSslError(const QString &what)
    {
        QString text;
        while (const unsigned long code = ERR_get_error()) {
            char buffer[256];
            ERR_error_string_n(code, buffer, sizeof buffer);
            text = QString::fromLatin1(buffer);
        }
        return text.isEmpty() ? what : QStringLiteral("%1 (%2)").arg(what, text);
    }

    // A host name of letters, digits, hyphens and dots, or an IP address:
    // nothing a browser would not match against the certificate.
    bool isHostName(const QString &name)
    {
        static const QRegularExpression label(
            QStringLiteral("^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]([A-Za-z0-9-]"
                           "{0,61}[A-Za-z0-9])?)*$"));
        return label.match(name).hasMatch();
    }

    bool addName(GENERAL_NAMES *names, const QString &name, bool address)
    {
        GENERAL_NAME *entry = nullptr;
        if (address) {
            ASN1_OCTET_STRING *ip = a2i_IPADDRESS(name.toLatin1().constData());
            if (!ip)
                return false;
            entry = GENERAL_NAME_new();
            if (!entry) {
                ASN1_OCTET_STRING_free(ip);
                return false;
            }
            GENERAL_NAME_set0_value(entry, GEN_IPADD, ip);
        } else {
            ASN1_IA5STRING *dns = ASN1_IA5STRING_new();
            if (!dns || !ASN1_STRING_set(dns, name.toLatin1().constData(), -1)) {
                ASN1_IA5STRING_free(dns);
                return false;
            }
            entry = GENERAL_NAME_new();
            if (!entry) {
                ASN1_IA5STRING_free(dns);
                return false;
            }
            GENERAL_NAME_set0_value(entry, GEN_DNS, dns);
        }
        if (!sk_GENERAL_NAME_push(names, entry)) {
            GENERAL_NAME_free(entry);
            return false;
        }
        return true;
    }

    // The names a phone may reach the server by: the one given (as an IP
    // address when it is one: a browser never matches an address against a
    // DNS name), and the machine itself.
    bool addSubjectAltNames(X509 *cert, const QString &hostName)
    {
        const Names names(sk_GENERAL_NAME_new_null());
        if (!names)
            return false;
        QStringList dns, ips;
        const QHostAddress address(hostName);
        if (address.isNull())
            dns << hostName;
        else
            ips << address.toString();
        if (!dns.contains(QStringLiteral("localhost"), Qt::CaseInsensitive))
            dns << QStringLiteral("localhost");
        if (!ips.contains(QStringLiteral("127.0.0.1")))
            ips << QStringLiteral("127.0.0.1");
        for (const QString &name : std::as_const(dns))
            if (!addName(names.get(), name, false))
                return false;
        for (const QString &ip : std::as_const(ips))
            if (!addName(names.get(), ip, true))
                return false;
        return X509_add1_ext_i2d(cert, NID_subject_alt_name, names.get(), 0, X509V3_ADD_DEFAULT) == 1;
    }

    // Phones trust a certificate the user installs only as a root of its
    // own: a CA that may sign nothing else, for a web server.
    bool addExtensions(X509 *cert)
    {
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
        const std::pair<int, const char *> extensions[] = {
            { NID_basic_constraints, "critical,CA:TRUE,pathlen:0" },
            { NID_key_usage, "critical,digitalSignature,keyCertSign" },
            { NID_ext_key_usage, "serverAuth" },
            { NID_subject_key_identifier, "hash" },
        };
        for (const auto &[nid, value] : extensions) {
            const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
            if (!extension || !X509_add_ext(cert, extension.get(), -1))
                return false;
        }
        return true;
    }

    bool setSerial(X509 *cert)
    {
        unsigned char bytes[16];
        if (RAND_bytes(bytes, sizeof bytes) != 1)
            return false;
        bytes[0] &= 0x7f; // a positive number
        const Number serial(BN_bin2bn(bytes, sizeof bytes, nullptr));
        return serial && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert));
    }

    // The certificate for `hostName` signed with `key`; null on failure.
    Cert makeCertificate(EVP_PKEY *key, const QString &hostName)
    {
        Cert cert(X509_new());
        if (!cert || !X509_set_version(cert.get(), X509_VERSION_3) || !setSerial(cert.get()))
            return nullptr;
        X509_NAME *name = X509_get_subject_name(cert.get());
        const QByteArray common = hostName.toLatin1();
        if (!X509_NAME_add_entry_by_txt(
                name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(common.constData()), -1, -1, 0)
            || !X509_NAME_add_entry_by_txt(
                name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("Job Tracker field server"), -1, -1, 0)
            || !X509_set_issuer_name(cert.get(), name))
            return nullptr;
        if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0)
            || !X509_gmtime_adj(X509_getm_notAfter(cert.get()), long(kValidDays) * 24 * 60 * 60)
            || !X509_set_pubkey(cert.get(), key) || !addSubjectAltNames(cert.get(), hostName)
            || !addExtensions(cert.get()) || X509_sign(cert.get(), key, EVP_sha256()) <= 0)
            return nullptr;
        return cert;
    }

    // PEM text written by `write` into memory.
    template <typename Write> QByteArray pem(Write write)
    {
        const Bio bio(BIO_new(BIO_s_mem()));
        if (!bio || !write(bio.get()))
            return {};
        char *data = nullptr;
        const long size = BIO_get_mem_data(bio.get(), &data);
        return QByteArray(data, size);
    }

    QString fingerprint(X509 *cert)
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (!X509_digest(cert, EVP_sha256(), digest, &size))
            return {};
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex(':').toUpper());
    }

    // Writes a new file; false, with `error`, when it is there already or
    // cannot be written. The key is made owner-only from its first moment.
    bool writeNew(const QString &path, const QByteArray &text, bool secret, QString *error)
    {
        if (secret && !PrivateFiles::createFile(path, error))
            return false;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | (secret ? QIODevice::ExistingOnly : QIODevice::NewOnly))
            || file.write(text) != text.size() || !file.flush()) {
            *error = file.errorString();
            if (secret)
                file.remove();
            return false;
        }
        return true;
    }

} // namespace

std::variant<CertificateFiles, QString> makeSelfSigned(const QString &dir, const QString &hostName)
{
    if (!isHostName(hostName) && QHostAddress(hostName).isNull())
        return QStringLiteral("\"%1\" is no host name or IP address").arg(hostName);
    const QDir folder(dir);
    CertificateFiles files { folder.absoluteFilePath(QStringLiteral("field.crt")),
        folder.absoluteFilePath(QStringLiteral("field.key")), {} };
    // Never over a certificate the phones trust already, nor its key.
    for (const QString &path : { files.certificate, files.key }) {
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
            return QStringLiteral("%1 is there already; it is not overwritten").arg(path);
    }
    if (!QDir().mkpath(folder.absolutePath()))
        return QStringLiteral("the folder %1 cannot be made").arg(folder.absolutePath());

    const Key key(EVP_EC_gen("P-256"));
    if (!key)
        return openSslError(QStringLiteral("the key could not be made"));
    const Cert cert = makeCertificate(key.get(), hostName);
    if (!cert)
        return openSslError(QStringLiteral("the certificate could not be made"));
    const QByteArray certPem = pem([&](BIO *bio) { return PEM_write_bio_X509(bio, cert.get()); });
    const QByteArray keyPem = pem(
        [&](BIO *bio) { return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    files.fingerprint = fingerprint(cert.get());
    if (certPem.isEmpty() || keyPem.isEmpty() || files.fingerprint.isEmpty())
        return openSslError(QStringLiteral("the certificate could not be written out"));

    QString error;
    if (!writeNew(files.key, keyPem, true, &error))
        return QStringLiteral("%1: %2").arg(files.key, error);
    if (!writeNew(files.certificate, certPem, false, &error)) {
        QFile::remove(files.key); // ours, made a moment ago
        return QStringLiteral("%1: %2").arg(files.certificate, error);
    }
    return files;
}

std::variant<QString, QString> fingerprintOf(const QString &certificatePath)
{
    // Both alternatives are texts: each is named by its place.
    const auto failed
        = [](const QString &error) { return std::variant<QString, QString>(std::in_place_index<1>, error); };
    QFile file(certificatePath);
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("%1: %2").arg(certificatePath, file.errorString()));
    // A certificate is a few kilobytes; anything much larger is no certificate.
    const QByteArray text = file.read(1 << 20);
    const Bio bio(BIO_new_mem_buf(text.constData(), int(text.size())));
    const Cert cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!cert)
        return failed(openSslError(QStringLiteral("%1 holds no PEM certificate").arg(certificatePath)));
    const QString digest = fingerprint(cert.get());
    if (digest.isEmpty())
        return failed(openSslError(QStringLiteral("the fingerprint of %1 could not be computed").arg(certificatePath)));
    return std::variant<QString, QString>(std::in_place_index<0>, digest);
}

} // namespace field
