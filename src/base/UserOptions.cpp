#include "base/UserOptions.h"

#include "base/HttpClient.h"

#include <QEventLoop>
#include <QSettings>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

QString g_settingsFile;

const QString SecretService = QStringLiteral("Tarnwick");
const QString ProxyPasswordKey = QStringLiteral("proxy-password");

namespace key {
const QString MinDelay = QStringLiteral("pacing/minDelayMs");
const QString MaxDelay = QStringLiteral("pacing/maxDelayMs");
const QString PauseEvery = QStringLiteral("pacing/pauseEvery");
const QString Pause = QStringLiteral("pacing/pauseMs");
const QString Retries = QStringLiteral("pacing/retries");
const QString BackoffStart = QStringLiteral("pacing/backoffStartMs");
const QString BackoffCap = QStringLiteral("pacing/backoffCapMs");
const QString Proxy = QStringLiteral("network/proxy");
const QString ProxyHost = QStringLiteral("network/proxyHost");
const QString ProxyPort = QStringLiteral("network/proxyPort");
const QString ProxyUser = QStringLiteral("network/proxyUser");
const QString ProxyPassword = QStringLiteral("network/proxyPassword");
const QString Remember = QStringLiteral("network/rememberPassword");
const QString ConnectTimeout = QStringLiteral("network/connectTimeoutMs");
const QString ReadTimeout = QStringLiteral("network/readTimeoutMs");
} // namespace key

int IntValue(const QSettings &s, const QString &k, int fallback)
{
    bool ok = false;
    const int v = s.value(k, fallback).toInt(&ok);
    return ok ? v : fallback;
}

class TKeychainStore : public ISecretStore
{
public:
    TResult Read(const QString &k, QString &secret) override
    {
        auto *job = new QKeychain::ReadPasswordJob(SecretService);
        job->setKey(k);
        const TResult result = Run(job);
        if (result == TResult::Ok)
            secret = job->textData();
        job->deleteLater();
        return result;
    }
    TResult Write(const QString &k, const QString &secret) override
    {
        auto *job = new QKeychain::WritePasswordJob(SecretService);
        job->setKey(k);
        job->setTextData(secret);
        const TResult result = Run(job);
        job->deleteLater();
        return result;
    }
    TResult Remove(const QString &k) override
    {
        auto *job = new QKeychain::DeletePasswordJob(SecretService);
        job->setKey(k);
        const TResult result = Run(job);
        job->deleteLater();
        return result;
    }

private:
    static TResult Run(QKeychain::Job *job)
    {
        job->setAutoDelete(false);
        // Never the library's plain-text fallback: that choice is the user's.
        job->setInsecureFallback(false);
        bool finished = false;
        QEventLoop loop;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        job->start();
        if (!finished)
            loop.exec();
        if (!finished)
            return TResult::Unavailable;
        switch (job->error()) {
        case QKeychain::NoError:
            return TResult::Ok;
        case QKeychain::EntryNotFound:
            return TResult::NotFound;
        default:
            return TResult::Unavailable;
        }
    }
};

} // namespace

std::unique_ptr<QSettings> OpenUserSettings()
{
    if (!g_settingsFile.isEmpty())
        return std::make_unique<QSettings>(g_settingsFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
}

void SetUserSettingsFile(const QString &path)
{
    g_settingsFile = path;
}

std::unique_ptr<ISecretStore> MakeKeychainStore()
{
    return std::make_unique<TKeychainStore>();
}

QString ProxyKindName(TProxyOptions::Kind kind)
{
    switch (kind) {
    case TProxyOptions::Kind::None:
        break;
    case TProxyOptions::Kind::System:
        return QStringLiteral("system");
    case TProxyOptions::Kind::Http:
        return QStringLiteral("http");
    case TProxyOptions::Kind::Https:
        return QStringLiteral("https");
    case TProxyOptions::Kind::Socks5:
        return QStringLiteral("socks5");
    }
    return QStringLiteral("none");
}

TProxyOptions::Kind ProxyKindFromName(const QString &name)
{
    for (TProxyOptions::Kind kind : {TProxyOptions::Kind::System, TProxyOptions::Kind::Http,
                                     TProxyOptions::Kind::Https, TProxyOptions::Kind::Socks5})
        if (name.compare(ProxyKindName(kind), Qt::CaseInsensitive) == 0)
            return kind;
    // Anything unknown is the safe choice: a direct connection.
    return TProxyOptions::Kind::None;
}

TOptionsStore::TOptionsStore(std::unique_ptr<ISecretStore> secrets) : m_secrets(std::move(secrets))
{
}

TOptionsStore::~TOptionsStore() = default;

void TOptionsStore::SetSecretStore(std::unique_ptr<ISecretStore> secrets)
{
    m_secrets = std::move(secrets);
    m_knowPassword = false;
}

TUserOptions TOptionsStore::Load()
{
    const std::unique_ptr<QSettings> s = OpenUserSettings();
    TUserOptions o;
    TPacingOptions &p = o.Pacing;
    p.MinDelayMs = IntValue(*s, key::MinDelay, p.MinDelayMs);
    p.MaxDelayMs = IntValue(*s, key::MaxDelay, p.MaxDelayMs);
    p.PauseEvery = IntValue(*s, key::PauseEvery, p.PauseEvery);
    p.PauseMs = IntValue(*s, key::Pause, p.PauseMs);
    p.Retries = IntValue(*s, key::Retries, p.Retries);
    p.BackoffStartMs = IntValue(*s, key::BackoffStart, p.BackoffStartMs);
    p.BackoffCapMs = IntValue(*s, key::BackoffCap, p.BackoffCapMs);
    p = p.Normalized();

    TNetworkOptions &n = o.Network;
    n.Proxy.What = ProxyKindFromName(s->value(key::Proxy).toString());
    n.Proxy.Host = s->value(key::ProxyHost).toString();
    n.Proxy.Port = qBound(0, IntValue(*s, key::ProxyPort, 0), 65535);
    n.Proxy.User = s->value(key::ProxyUser).toString();
    n.ConnectTimeoutMs = qMax(0, IntValue(*s, key::ConnectTimeout, n.ConnectTimeoutMs));
    n.ReadTimeoutMs = qMax(0, IntValue(*s, key::ReadTimeout, n.ReadTimeoutMs));
    o.RememberPassword = s->value(key::Remember, false).toBool();

    if (m_knowPassword) {
        n.Proxy.Password = m_password;
    } else if (!n.Proxy.User.isEmpty()) {
        QString secret;
        if (m_secrets && m_secrets->Read(ProxyPasswordKey, secret) == ISecretStore::TResult::Ok) {
            n.Proxy.Password = secret;
            m_place = TPasswordPlace::SecretStore;
        } else if (s->contains(key::ProxyPassword)) {
            n.Proxy.Password = s->value(key::ProxyPassword).toString();
            m_place = TPasswordPlace::SettingsFile;
        }
        m_password = n.Proxy.Password;
        m_knowPassword = true;
    }
    return o;
}

TOptionsStore::TPasswordPlace TOptionsStore::Save(const TUserOptions &options)
{
    const std::unique_ptr<QSettings> s = OpenUserSettings();
    const TPacingOptions p = options.Pacing.Normalized();
    s->setValue(key::MinDelay, p.MinDelayMs);
    s->setValue(key::MaxDelay, p.MaxDelayMs);
    s->setValue(key::PauseEvery, p.PauseEvery);
    s->setValue(key::Pause, p.PauseMs);
    s->setValue(key::Retries, p.Retries);
    s->setValue(key::BackoffStart, p.BackoffStartMs);
    s->setValue(key::BackoffCap, p.BackoffCapMs);
    const TNetworkOptions &n = options.Network;
    s->setValue(key::Proxy, ProxyKindName(n.Proxy.What));
    s->setValue(key::ProxyHost, n.Proxy.Host);
    s->setValue(key::ProxyPort, n.Proxy.Port);
    s->setValue(key::ProxyUser, n.Proxy.User);
    s->setValue(key::ConnectTimeout, n.ConnectTimeoutMs);
    s->setValue(key::ReadTimeout, n.ReadTimeoutMs);
    s->setValue(key::Remember, options.RememberPassword);

    const QString &password = n.Proxy.Password;
    const bool changed = !m_knowPassword || password != m_password;
    m_password = password;
    m_knowPassword = true;
    if (password.isEmpty()) {
        s->remove(key::ProxyPassword);
        if (changed && m_secrets)
            m_secrets->Remove(ProxyPasswordKey);
        m_place = TPasswordPlace::None;
    } else if (changed || m_place != TPasswordPlace::SecretStore) {
        if (m_secrets &&
            m_secrets->Write(ProxyPasswordKey, password) == ISecretStore::TResult::Ok) {
            s->remove(key::ProxyPassword);
            m_place = TPasswordPlace::SecretStore;
        } else if (options.RememberPassword) {
            s->setValue(key::ProxyPassword, password);
            m_place = TPasswordPlace::SettingsFile;
        } else {
            s->remove(key::ProxyPassword);
            m_place = TPasswordPlace::RunOnly;
        }
    }
    s->sync();
    return m_place;
}

void ApplyUserOptions(const TUserOptions &options, THttpClient &http, TPacer &pacer)
{
    http.SetOptions(options.Network);
    pacer.SetOptions(options.Pacing);
}
