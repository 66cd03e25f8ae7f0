#include "quickbooks/QbSettings.h"

#include "base/Loopback.h"
#include "quickbooks/LocalWait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>
#include <qt6keychain/keychain.h>
#include <stdexcept>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace qb {

namespace {

    const QString kConnection = QStringLiteral("Connection");
    const QString kSecrets = QStringLiteral("Secrets");
    constexpr int kKeyringTimeoutMs = 5000;

    // The file may hold secrets: it is made owner-only before anything is
    // written to it, and kept so (QSettings keeps the permissions it finds).
    void ensureOwnerOnly(const QString &path)
    {
        QFile file(path);
        if (!file.exists()) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (file.open(QIODevice::WriteOnly))
                file.close();
        }
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    bool holdsSecrets(const QSettings &file)
    {
        for (const QString &key : { kClientSecret, kAccessToken, kRefreshToken })
            if (!file.value(kSecrets + u'/' + key).toString().isEmpty())
                return true;
        return false;
    }

    // A file with secrets may have come with a looser mode (copied, made by
    // hand): it is made owner-only on the spot. Empty when the file is (now)
    // this user's alone, else why it is not.
    QString makePrivate(const QString &path)
    {
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QFileInfo info(path);
        if (!info.exists())
            return {};
#ifdef Q_OS_UNIX
        // Another user's file stays readable by that user whatever its mode.
        if (info.ownerId() != ::geteuid())
            return QStringLiteral("the file belongs to another user");
#endif
        if (!(info.permissions() & others))
            return {};
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        info.refresh();
        if (info.permissions() & others)
            return QStringLiteral("the file cannot be made readable by its owner only");
        return {};
    }

    // Throws rather than use secrets that others can read.
    void requirePrivate(const QString &path)
    {
        const QString problem = makePrivate(path);
        if (!problem.isEmpty())
            throw std::runtime_error(
                QStringLiteral("The QuickBooks secrets in %1 are not used: %2. Make it yours and readable by you only "
                               "(chmod 600).")
                    .arg(QDir::toNativeSeparators(path), problem)
                    .toStdString());
    }

    void sync(QSettings &settings)
    {
        settings.sync();
        if (settings.status() != QSettings::NoError)
            throw std::runtime_error(
                QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(settings.fileName())).toStdString());
    }

    class FileStore : public SecretStore
    {
    public:
        explicit FileStore(QString path)
            : m_path(std::move(path))
        {
        }
        Where where() const override { return Where::File; }
        QString read(const QString &key) override
        {
            QSettings settings(m_path, QSettings::IniFormat);
            const QString value = settings.value(kSecrets + u'/' + key).toString();
            if (!value.isEmpty())
                requirePrivate(m_path);
            return value;
        }
        void write(const QString &key, const QString &value) override
        {
            ensureOwnerOnly(m_path);
            requirePrivate(m_path);
            QSettings settings(m_path, QSettings::IniFormat);
            settings.setValue(kSecrets + u'/' + key, value);
            sync(settings);
            ensureOwnerOnly(m_path);
        }
        void remove(const QString &key) override
        {
            QSettings settings(m_path, QSettings::IniFormat);
            if (!settings.contains(kSecrets + u'/' + key))
                return;
            settings.remove(kSecrets + u'/' + key);
            sync(settings);
        }

    private:
        QString m_path;
    };

    class KeyringStore : public SecretStore
    {
    public:
        explicit KeyringStore(const QString &settingsFile)
            // One entry set per settings file, so that two installations on
            // one account keep their own sign-ins.
            : m_service(QStringLiteral("Job Tracker QuickBooks (%1)").arg(QFileInfo(settingsFile).absoluteFilePath()))
        {
        }
        Where where() const override { return Where::Keyring; }

        // NoError with the value, EntryNotFound, or another error.
        QKeychain::Error tryRead(const QString &key, QString *value) const
        {
            QKeychain::ReadPasswordJob job(m_service);
            job.setAutoDelete(false);
            job.setKey(key);
            bool finished = false;
            QObject::connect(&job, &QKeychain::Job::finished, [&finished] { finished = true; });
            LocalWait wait(kKeyringTimeoutMs);
            wait.quitOn(&job, &QKeychain::Job::finished);
            job.start();
            if (!wait.exec([&] { return finished; }))
                return QKeychain::OtherError;
            if (job.error() == QKeychain::NoError && value)
                *value = job.textData();
            return job.error();
        }

        QString read(const QString &key) override
        {
            QString value;
            tryRead(key, &value);
            return value;
        }

        void write(const QString &key, const QString &value) override
        {
            QKeychain::WritePasswordJob job(m_service);
            job.setAutoDelete(false);
            job.setKey(key);
            job.setTextData(value);
            run(job, "store");
        }

        void remove(const QString &key) override
        {
            QKeychain::DeletePasswordJob job(m_service);
            job.setAutoDelete(false);
            job.setKey(key);
            run(job, nullptr);
        }

    private:
        static void run(QKeychain::Job &job, const char *what)
        {
            bool finished = false;
            QObject::connect(&job, &QKeychain::Job::finished, [&finished] { finished = true; });
            LocalWait wait(kKeyringTimeoutMs);
            wait.quitOn(&job, &QKeychain::Job::finished);
            job.start();
            const bool ok = wait.exec([&] { return finished; })
                && (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound);
            if (!ok && what)
                throw std::runtime_error(
                    QStringLiteral("The system keyring could not %1 a QuickBooks secret: %2")
                        .arg(QString::fromLatin1(what), finished ? job.errorString() : QStringLiteral("no answer"))
                        .toStdString());
        }

        QString m_service;
    };

} // namespace

QString SecretStore::describe() const
{
    return where() == Where::Keyring ? QStringLiteral("Secrets are kept in the system keyring.")
                                     : QStringLiteral("Secrets are kept in the settings file (owner-only).");
}

QString settingsPath(const QString &configFolder)
{
    return QDir(configFolder).filePath(QStringLiteral("quickbooks.ini"));
}

ConnectionSettings readSettings(const QString &path)
{
    ConnectionSettings s;
    QSettings file(path, QSettings::IniFormat);
    // Tightened here too, not only when a token is next written; whether the
    // secrets may be used is the store's to say.
    if (holdsSecrets(file))
        makePrivate(path);
    file.beginGroup(kConnection);
    s.baseUrl = file.value(QStringLiteral("BaseUrl"), s.baseUrl).toString().trimmed();
    while (s.baseUrl.endsWith(u'/'))
        s.baseUrl.chop(1);
    s.realmId = file.value(QStringLiteral("RealmId"), s.realmId).toString().trimmed();
    s.clientId = file.value(QStringLiteral("ClientId"), s.clientId).toString().trimmed();
    s.authorizeUrl = file.value(QStringLiteral("AuthorizeUrl"), s.authorizeUrl).toString().trimmed();
    s.tokenUrl = file.value(QStringLiteral("TokenUrl"), s.tokenUrl).toString().trimmed();
    s.scope = file.value(QStringLiteral("Scope"), s.scope).toString().trimmed();
    s.timeoutSeconds = std::max(1, file.value(QStringLiteral("TimeoutSeconds"), s.timeoutSeconds).toInt());
    s.redirectUri = file.value(QStringLiteral("RedirectUri"), s.redirectUri).toString().trimmed();
    s.redirectPort = std::clamp(file.value(QStringLiteral("RedirectPort"), s.redirectPort).toInt(), 0, 65535);
    return s;
}

void writeSettings(const QString &path, const ConnectionSettings &s)
{
    ensureOwnerOnly(path);
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(kConnection);
    file.setValue(QStringLiteral("BaseUrl"), s.baseUrl);
    file.setValue(QStringLiteral("RealmId"), s.realmId);
    file.setValue(QStringLiteral("ClientId"), s.clientId);
    file.setValue(QStringLiteral("AuthorizeUrl"), s.authorizeUrl);
    file.setValue(QStringLiteral("TokenUrl"), s.tokenUrl);
    file.setValue(QStringLiteral("Scope"), s.scope);
    file.setValue(QStringLiteral("TimeoutSeconds"), s.timeoutSeconds);
    file.setValue(QStringLiteral("RedirectUri"), s.redirectUri);
    file.setValue(QStringLiteral("RedirectPort"), s.redirectPort);
    file.endGroup();
    sync(file);
}

void requireSecureEndpoints(const ConnectionSettings &s)
{
    const std::pair<const char *, const QString *> endpoints[]
        = { { "BaseUrl", &s.baseUrl }, { "AuthorizeUrl", &s.authorizeUrl }, { "TokenUrl", &s.tokenUrl } };
    for (const auto &[name, value] : endpoints)
        if (!Loopback::isPrivateChannel(QUrl(*value)))
            throw std::runtime_error(QStringLiteral("The QuickBooks setting %1 (%2) must be an https address; plain "
                                                    "http is used only to this computer (localhost)")
                                         .arg(QString::fromLatin1(name), *value)
                                         .toStdString());
}

std::unique_ptr<SecretStore> fileSecretStore(const QString &settingsFile)
{
    return std::make_unique<FileStore>(settingsFile);
}

std::unique_ptr<SecretStore> openSecretStore(const QString &settingsFile, bool allowKeyring)
{
    // Without a session bus no keyring can answer; asking would only wait.
    if (allowKeyring && !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        auto keyring = std::make_unique<KeyringStore>(settingsFile);
        const QKeychain::Error probe = keyring->tryRead(QStringLiteral("probe"), nullptr);
        if (probe == QKeychain::NoError || probe == QKeychain::EntryNotFound) {
            FileStore file(settingsFile);
            for (const QString &key : { kClientSecret, kAccessToken, kRefreshToken }) {
                const QString value = file.read(key);
                if (value.isEmpty())
                    continue;
                keyring->write(key, value);
                file.remove(key);
            }
            return keyring;
        }
    }
    return std::make_unique<FileStore>(settingsFile);
}

} // namespace qb
