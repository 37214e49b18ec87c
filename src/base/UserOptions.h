#pragma once
// The user's own options: pacing, proxy and time-outs. Kept per user in the
// platform's usual configuration place (QSettings), never in the reseller's
// settings file; a proxy password goes to the platform's secret store.

#include "base/NetworkOptions.h"
#include "base/Pacer.h"

#include <QString>
#include <memory>

class QSettings;
class THttpClient;

struct TUserOptions
{
    TPacingOptions Pacing;
    TNetworkOptions Network;
    // Where no secret store answers: keep the proxy password in the settings
    // file (plain text) rather than for this run only.
    bool RememberPassword = false;

    bool operator==(const TUserOptions &) const = default;
};

// The per-user settings. Other switches of the program (journal/enabled, ...)
// live in the same place.
std::unique_ptr<QSettings> OpenUserSettings();
// Tests point the settings at a file of their own; empty: the platform's place.
void SetUserSettingsFile(const QString &path);

// Where secrets are kept. Every call answers; Unavailable when no store does.
class ISecretStore
{
public:
    enum class TResult { Ok, NotFound, Unavailable };
    virtual ~ISecretStore() = default;
    virtual TResult Read(const QString &key, QString &secret) = 0;
    virtual TResult Write(const QString &key, const QString &secret) = 0;
    virtual TResult Remove(const QString &key) = 0;
};

// The platform's secret store through QtKeychain; each call waits for the
// store on a local event loop, a few seconds at most.
std::unique_ptr<ISecretStore> MakeKeychainStore();

class TOptionsStore
{
public:
    explicit TOptionsStore(std::unique_ptr<ISecretStore> secrets);
    ~TOptionsStore();

    // Where a saved proxy password went.
    enum class TPasswordPlace { None, SecretStore, SettingsFile, RunOnly };

    TUserOptions Load();
    TPasswordPlace Save(const TUserOptions &options);
    TPasswordPlace PasswordPlace() const { return m_place; }

    void SetSecretStore(std::unique_ptr<ISecretStore> secrets);

private:
    std::unique_ptr<ISecretStore> m_secrets;
    // The password as last saved or read: asked of the store only once.
    QString m_password;
    bool m_knowPassword = false;
    TPasswordPlace m_place = TPasswordPlace::None;
};

// Gives every later request of the client the options.
class TPacer;
void ApplyUserOptions(const TUserOptions &options, THttpClient &http, TPacer &pacer);

// "none", "system", "http", "https", "socks5" as kept in the settings.
QString ProxyKindName(TProxyOptions::Kind kind);
TProxyOptions::Kind ProxyKindFromName(const QString &name);
