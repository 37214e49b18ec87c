// The pacer on a fake clock, the run's progress figures and the store of the
// user's options, without any window or network.

#include "base/Pacer.h"
#include "base/RunProgress.h"
#include "base/UserOptions.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct FakeClock
{
    qint64 now = 1000;
    TPacer::Clock clock()
    {
        return [this] { return now; };
    }
};

using Verdict = TPacer::TVerdict;

TRequestOutcome Ok()
{
    TRequestOutcome o;
    o.Ok = true;
    o.Status = 200;
    return o;
}

TRequestOutcome Failed(int status, int retryAfter = -1)
{
    TRequestOutcome o;
    o.Status = status;
    o.RetryAfterSeconds = retryAfter;
    return o;
}

// A secret store that answers, or one that never does (a machine without
// one, as this one).
class FakeSecrets : public ISecretStore
{
public:
    explicit FakeSecrets(bool available) : m_available(available) {}
    QHash<QString, QString> stored;
    int writes = 0;

    TResult Read(const QString &key, QString &secret) override
    {
        if (!m_available)
            return TResult::Unavailable;
        if (!stored.contains(key))
            return TResult::NotFound;
        secret = stored.value(key);
        return TResult::Ok;
    }
    TResult Write(const QString &key, const QString &secret) override
    {
        if (!m_available)
            return TResult::Unavailable;
        ++writes;
        stored[key] = secret;
        return TResult::Ok;
    }
    TResult Remove(const QString &key) override
    {
        if (!m_available)
            return TResult::Unavailable;
        stored.remove(key);
        return TResult::Ok;
    }

private:
    bool m_available;
};

TPacingOptions Options(int minMs, int maxMs, int every = 0, int pauseMs = 0, int retries = 0,
                       int startMs = 10000, int capMs = 300000)
{
    return {minMs, maxMs, every, pauseMs, retries, startMs, capMs};
}

} // namespace

class TestPacer : public QObject
{
    Q_OBJECT

private slots:
    void off_neverWaitsNorRetries()
    {
        FakeClock t;
        TPacer pacer({}, t.clock());
        QVERIFY(pacer.Options().IsOff());
        for (const TRequestOutcome &o : {Ok(), Failed(503, 30), Failed(0), Failed(429, 5)}) {
            QCOMPARE(pacer.DelayBefore("a"), qint64(0));
            QVERIFY(pacer.Report("a", o) != Verdict::Retry);
        }
        QCOMPARE(pacer.DelayBefore("a"), qint64(0));
    }

    void jitter_uniformBetweenBoundsPerHost()
    {
        FakeClock t;
        QList<QPair<qint64, qint64>> asked;
        QList<qint64> answers{2000, 6000, 3500};
        TPacer pacer(Options(2000, 6000), t.clock(), [&](qint64 lo, qint64 hi) {
            asked.append({lo, hi});
            return answers.takeFirst();
        });
        // Nothing owed before the first request.
        QCOMPARE(pacer.DelayBefore("a"), qint64(0));
        pacer.Report("a", Ok());
        QCOMPARE(pacer.DelayBefore("a"), qint64(2000));
        // Another host owes nothing for a's request.
        QCOMPARE(pacer.DelayBefore("b"), qint64(0));
        t.now += 500;
        QCOMPARE(pacer.DelayBefore("a"), qint64(1500));
        t.now += 1500;
        QCOMPARE(pacer.DelayBefore("a"), qint64(0));
        pacer.Report("a", Ok());
        QCOMPARE(pacer.DelayBefore("a"), qint64(6000));
        pacer.Report("b", Ok());
        QCOMPARE(pacer.DelayBefore("b"), qint64(3500));
        QCOMPARE(asked, (QList<QPair<qint64, qint64>>{{2000, 6000}, {2000, 6000}, {2000, 6000}}));
        // A clock that has run past the time owed gives no negative wait.
        t.now += 100000;
        QCOMPARE(pacer.DelayBefore("a"), qint64(0));
    }

    void jitter_realRandomStaysInBounds()
    {
        FakeClock t;
        TPacer pacer(Options(2000, 2600), t.clock());
        QSet<qint64> seen;
        for (int i = 0; i < 300; ++i) {
            pacer.Report("a", Ok());
            const qint64 d = pacer.DelayBefore("a");
            QVERIFY2(d >= 2000 && d <= 2600, qPrintable(QString::number(d)));
            seen.insert(d);
        }
        // Not one fixed value: the delays are not regular.
        QVERIFY(seen.size() > 10);
    }

    void pause_afterEveryMRequests()
    {
        FakeClock t;
        TPacer pacer(Options(1000, 1000, 3, 60000), t.clock());
        QList<qint64> delays;
        for (int i = 0; i < 7; ++i) {
            pacer.Report("a", Ok());
            delays.append(pacer.DelayBefore("a"));
            t.now += delays.last();
        }
        QCOMPARE(delays, (QList<qint64>{1000, 1000, 60000, 1000, 1000, 60000, 1000}));
    }

    void backoff_doublesUpToCapThenGivesUp()
    {
        FakeClock t;
        TPacer pacer(Options(0, 0, 0, 0, 5, 10000, 50000), t.clock());
        QList<qint64> waits;
        Verdict v = Verdict::Retry;
        while ((v = pacer.Report("a", Failed(503))) == Verdict::Retry) {
            waits.append(pacer.DelayBefore("a"));
            t.now += waits.last();
        }
        QCOMPARE(waits, (QList<qint64>{10000, 20000, 40000, 50000, 50000}));
        QCOMPARE(v, Verdict::GiveUp);
        // The next query starts afresh.
        QCOMPARE(pacer.DelayBefore("a"), qint64(0));
        QCOMPARE(pacer.Report("a", Failed(0)), Verdict::Retry);
        QCOMPARE(pacer.DelayBefore("a"), qint64(10000));
        // A success ends the back-off and the next failure starts it again.
        QCOMPARE(pacer.Report("a", Ok()), Verdict::Done);
        QCOMPARE(pacer.Report("a", Failed(503)), Verdict::Retry);
        QCOMPARE(pacer.DelayBefore("a"), qint64(10000));
    }

    void backoff_whatIsRetried_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("securityImage");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<bool>("retried");
        QTest::newRow("answer") << true << 200 << false << false << false;
        QTest::newRow("security image instead of the answer")
            << true << 200 << true << false << true;
        QTest::newRow("no connection") << false << 0 << false << false << true;
        QTest::newRow("429") << false << 429 << false << false << true;
        QTest::newRow("503") << false << 503 << false << false << true;
        QTest::newRow("500") << false << 500 << false << false << true;
        QTest::newRow("408") << false << 408 << false << false << true;
        QTest::newRow("404 stays missing") << false << 404 << false << false << false;
        QTest::newRow("403") << false << 403 << false << false << false;
        QTest::newRow("stopped") << false << 0 << false << true << false;
    }
    void backoff_whatIsRetried()
    {
        QFETCH(bool, ok);
        QFETCH(int, status);
        QFETCH(bool, securityImage);
        QFETCH(bool, stopped);
        QFETCH(bool, retried);
        FakeClock t;
        TPacer pacer(Options(0, 0, 0, 0, 3), t.clock());
        TRequestOutcome o;
        o.Ok = ok;
        o.Status = status;
        o.SecurityImage = securityImage;
        o.Stopped = stopped;
        QCOMPARE(pacer.Report("a", o) == Verdict::Retry, retried);
        QCOMPARE(pacer.DelayBefore("a") > 0, retried);
    }

    void retryAfter_honouredWithinBounds_data()
    {
        QTest::addColumn<int>("retryAfter");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<qint64>("wait");
        // Back-off 10 s doubling, cap 300 s.
        QTest::newRow("none, or garbage the client could not read") << -1 << 1 << qint64(10000);
        QTest::newRow("longer than the back-off") << 45 << 1 << qint64(45000);
        QTest::newRow("shorter than the back-off") << 3 << 1 << qint64(10000);
        QTest::newRow("in the past (0)") << 0 << 1 << qint64(10000);
        QTest::newRow("huge") << 2000000000 << 1 << qint64(300000);
        QTest::newRow("shorter than the doubled back-off") << 30 << 3 << qint64(40000);
        QTest::newRow("doubling reaches the cap") << -1 << 40 << qint64(300000);
    }
    void retryAfter_honouredWithinBounds()
    {
        QFETCH(int, retryAfter);
        QFETCH(int, attempt);
        QFETCH(qint64, wait);
        FakeClock t;
        TPacer pacer(Options(0, 0, 0, 0, 50), t.clock());
        QCOMPARE(pacer.BackoffMs(attempt, retryAfter), wait);
        if (attempt == 1) {
            QCOMPARE(pacer.Report("a", Failed(429, retryAfter)), Verdict::Retry);
            QCOMPARE(pacer.DelayBefore("a"), wait);
        }
    }

    void retry_countsTowardsThePause()
    {
        // A re-send is a request like any other.
        FakeClock t;
        TPacer pacer(Options(0, 0, 2, 60000, 3, 1000, 1000), t.clock());
        QCOMPARE(pacer.Report("a", Failed(503)), Verdict::Retry);
        t.now += pacer.DelayBefore("a");
        QCOMPARE(pacer.Report("a", Ok()), Verdict::Done);
        QCOMPARE(pacer.DelayBefore("a"), qint64(60000));
    }

    void options_normalizedAndPresets()
    {
        QCOMPARE(TPacingOptions::Polite(), Options(2000, 6000, 50, 60000, 3, 10000, 300000));
        QVERIFY(!TPacingOptions::Polite().IsOff());
        QVERIFY(TPacingOptions::Off().IsOff());
        // What a hand-edited settings file can hold comes out usable.
        QCOMPARE(Options(5000, 1000, -3, 7000, -1, 20000, 5000).Normalized(),
                 Options(5000, 5000, 0, 0, 0, 20000, 20000));
    }

    void hostOfAddress_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("path") << QByteArray("http://127.0.0.1:8080/google/search?q=a")
                              << QByteArray("127.0.0.1:8080");
        QTest::newRow("query only")
            << QByteArray("http://Example.COM?q=a/b") << QByteArray("example.com");
        QTest::newRow("credentials") << QByteArray("http://u:p@host/x") << QByteArray("host");
        QTest::newRow("no scheme") << QByteArray("host:81/x") << QByteArray("host:81");
    }
    void hostOfAddress()
    {
        QFETCH(QByteArray, address);
        QFETCH(QByteArray, host);
        QCOMPARE(HostOfAddress(address), host);
    }

    void runProgress_rateIncludesWaits()
    {
        qint64 now = 0;
        TRunProgress p([&now] { return now; });
        p.Start(5000, 15000);
        QCOMPARE(p.Text(), QStringLiteral("Row 1 of 5,000 \u00b7 0 sent \u00b7 0 failed \u00b7 "
                                          "estimating time left"));
        QCOMPARE(p.RemainingMs(), -1);
        // 3,600 cells in 12 minutes, pauses and retries included.
        for (int i = 0; i < 3600; ++i) {
            p.AddRequest(i % 1000 == 0);
            p.AddQueryDone();
        }
        p.SetRow(1199);
        now = 12 * 60 * 1000;
        QCOMPARE(p.Percent(), 24);
        QCOMPARE(p.RemainingMs(), qint64(38 * 60 * 1000));
        QCOMPARE(p.Text(), QStringLiteral("Row 1,200 of 5,000 \u00b7 3,600 sent \u00b7 4 failed "
                                          "\u00b7 about 38 min left"));
        // A new run starts from nothing.
        p.Start(2, 6);
        QCOMPARE(p.Sent(), 0);
        QCOMPARE(p.Percent(), 0);
    }

    void timeLeftText_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds") << qint64(40000) << QStringLiteral("about 40 s left");
        QTest::newRow("minutes") << qint64(40 * 60000) << QStringLiteral("about 40 min left");
        QTest::newRow("hours") << qint64(125 * 60000) << QStringLiteral("about 2 h 05 min left");
    }
    void timeLeftText()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(TimeLeftText(ms), text);
    }

    void store_roundTrip_data()
    {
        QTest::addColumn<bool>("secretStore");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<int>("place");
        QTest::addColumn<bool>("passwordInFile");
        QTest::addColumn<bool>("passwordNextRun");
        using P = TOptionsStore::TPasswordPlace;
        QTest::newRow("secret store") << true << false << int(P::SecretStore) << false << true;
        QTest::newRow("no store: this run only")
            << false << false << int(P::RunOnly) << false << false;
        QTest::newRow("no store, remember: settings file")
            << false << true << int(P::SettingsFile) << true << true;
    }
    void store_roundTrip()
    {
        QFETCH(bool, secretStore);
        QFETCH(bool, remember);
        QFETCH(int, place);
        QFETCH(bool, passwordInFile);
        QFETCH(bool, passwordNextRun);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("user.ini"));
        SetUserSettingsFile(file);
        auto *secrets = new FakeSecrets(secretStore);
        TOptionsStore store{std::unique_ptr<ISecretStore>(secrets)};
        // Nothing saved yet: the defaults, pacing off and no proxy.
        QCOMPARE(store.Load(), TUserOptions());

        TUserOptions o;
        o.Pacing = TPacingOptions::Polite();
        o.Network.Proxy = {TProxyOptions::Kind::Socks5, QStringLiteral("127.0.0.1"), 1080,
                           QStringLiteral("ann"), QStringLiteral("s3cr\u00e9t=;,")};
        o.Network.ConnectTimeoutMs = 12000;
        o.Network.ReadTimeoutMs = 45000;
        o.RememberPassword = remember;
        QCOMPARE(int(store.Save(o)), place);
        // This run keeps every value, the password included.
        QCOMPARE(store.Load(), o);

        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("network/proxy")).toString(), QStringLiteral("socks5"));
        QCOMPARE(raw.contains(QStringLiteral("network/proxyPassword")), passwordInFile);
        QCOMPARE(secrets->stored.contains(QStringLiteral("proxy-password")), secretStore);

        // The next run reads what was kept.
        TOptionsStore next{std::make_unique<FakeSecrets>(*secrets)};
        TUserOptions expected = o;
        if (!passwordNextRun)
            expected.Network.Proxy.Password.clear();
        QCOMPARE(next.Load(), expected);

        // An emptied password leaves nothing behind anywhere.
        o.Network.Proxy.Password.clear();
        QCOMPARE(store.Save(o), TOptionsStore::TPasswordPlace::None);
        QSettings after(file, QSettings::IniFormat);
        QVERIFY(!after.contains(QStringLiteral("network/proxyPassword")));
        QVERIFY(!secrets->stored.contains(QStringLiteral("proxy-password")));
        SetUserSettingsFile({});
    }

    void store_badValuesFallBackToSafeOnes()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("user.ini"));
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue(QStringLiteral("network/proxy"), QStringLiteral("carrier-pigeon"));
            raw.setValue(QStringLiteral("network/proxyPort"), 99999);
            raw.setValue(QStringLiteral("network/readTimeoutMs"), QStringLiteral("soon"));
            raw.setValue(QStringLiteral("pacing/minDelayMs"), 9000);
            raw.setValue(QStringLiteral("pacing/maxDelayMs"), 1000);
        }
        SetUserSettingsFile(file);
        TOptionsStore store{std::make_unique<FakeSecrets>(false)};
        const TUserOptions o = store.Load();
        QCOMPARE(o.Network.Proxy.What, TProxyOptions::Kind::None);
        QCOMPARE(o.Network.Proxy.Port, 65535);
        QCOMPARE(o.Network.ReadTimeoutMs, 0);
        QCOMPARE(o.Pacing.MinDelayMs, 9000);
        QCOMPARE(o.Pacing.MaxDelayMs, 9000);
        SetUserSettingsFile({});
    }
};

QTEST_GUILESS_MAIN(TestPacer)
#include "test_pacer.moc"
