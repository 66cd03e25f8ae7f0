#pragma once

#include <QString>
#include <memory>

// Where the program finds QuickBooks Online: the connection settings in a
// file beside config.txt, and the secrets (client secret, tokens) in the
// system keyring when one runs, else in that same file, readable by its
// owner only. Nothing of this goes in the job database.
namespace qb {

struct ConnectionSettings
{
    QString baseUrl = QStringLiteral("https://quickbooks.api.intuit.com");
    QString realmId;
    QString clientId;
    QString authorizeUrl = QStringLiteral("https://appcenter.intuit.com/connect/oauth2");
    QString tokenUrl = QStringLiteral("https://oauth.platform.intuit.com/oauth2/v1/tokens/bearer");
    QString scope = QStringLiteral("com.intuit.quickbooks.accounting");
    // Seconds one call may take.
    int timeoutSeconds = 30;
    // The redirect address registered for the app, sent exactly as written:
    // http://localhost:PORT/PATH (sandbox keys; the program listens there) or
    // https://... (production; a hosted page forwards to RedirectPort, and the
    // address the browser ended on may be pasted). Empty: the loopback
    // address below, which the service accepts only if registered as is.
    QString redirectUri;
    // Loopback port that receives the redirect when RedirectUri is not set
    // (0: any free one), or the hosted page's forward when it is https (0:
    // none, the address is pasted).
    int redirectPort = 0;

    bool isComplete() const { return !baseUrl.isEmpty() && !realmId.isEmpty() && !clientId.isEmpty(); }
};

// quickbooks.ini in the folder of config.txt.
QString settingsPath(const QString &configFolder);

// Reads the [Connection] group; missing keys keep their defaults. A file
// that holds secrets is made readable by its owner only.
ConnectionSettings readSettings(const QString &path);
// Writes the [Connection] group, leaving the rest of the file alone. A new
// file is made readable by its owner only.
void writeSettings(const QString &path, const ConnectionSettings &settings);

// Throws std::runtime_error naming the first address that would carry the
// client secret or a token unencrypted: each must be https, or plain http
// to this computer.
void requireSecureEndpoints(const ConnectionSettings &settings);

class SecretStore
{
public:
    enum class Where { Keyring, File };

    virtual ~SecretStore() = default;
    virtual Where where() const = 0;
    // Empty when there is none. Throws std::runtime_error rather than hand
    // out a secret that others can read (a file not owner-only that cannot
    // be made so).
    virtual QString read(const QString &key) = 0;
    // Throws std::runtime_error when the value could not be stored.
    virtual void write(const QString &key, const QString &value) = 0;
    virtual void remove(const QString &key) = 0;

    // For the screen: where the secrets are kept.
    QString describe() const;
};

// Key names.
inline const QString kClientSecret = QStringLiteral("ClientSecret");
inline const QString kAccessToken = QStringLiteral("AccessToken");
inline const QString kRefreshToken = QStringLiteral("RefreshToken");

// The keyring when one answers (and allowKeyring), else the settings file's
// [Secrets] group. Secrets found in the file while a keyring runs (an
// administrator's first setup) move into the keyring.
std::unique_ptr<SecretStore> openSecretStore(const QString &settingsFile, bool allowKeyring = true);

// The settings file as an owner-only store, whatever runs.
std::unique_ptr<SecretStore> fileSecretStore(const QString &settingsFile);

} // namespace qb
