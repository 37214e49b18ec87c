// The HTTP client against the emulator on loopback: fetches per second of
// the libcurl client, of the curl program over the same addresses and of the
// Qt network client the program used before (kept here only, for the
// comparison); requests the server saw per fetch when bodies end by close;
// the longest event-loop gap while a request waits on a slow server; the
// time from Stop to the end of a transfer; heap and resident memory per
// request. The machine is shared and noisy: compare ratios of one run.

#include "base/HttpClient.h"
#include "base/RunState.h"

#include "sandbox/Sandbox.h"
#include "sandbox/WireServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>

namespace {

QByteArray Bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

sandbox::Sandbox &Box()
{
    static sandbox::Sandbox *box = [] {
        auto *b = new sandbox::Sandbox;
        b->start();
        return b;
    }();
    return *box;
}

QByteArray Address(int i)
{
    return Bytes(Box().googleBase()) + "/search?q=golf+" + QByteArray::number(i);
}

// The transport of the Qt client as it was: manual redirects, the same
// fixed headers, a local event loop per request.
class OldQtClient
{
public:
    QByteArray Get(const QByteArray &address)
    {
        QNetworkRequest request(QUrl::fromEncoded(address, QUrl::StrictMode));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setRawHeader("User-Agent", "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)");
        request.setRawHeader("Accept", "text/html, */*");
        request.setRawHeader("Content-Type", "text/html");
        request.setRawHeader("Accept-Encoding", "identity");
        request.setRawHeader("Connection", "close");
        QNetworkReply *reply = m_nam.get(request);
        QByteArray body;
        QObject::connect(reply, &QIODevice::readyRead, [&] { body += reply->readAll(); });
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        body += reply->readAll();
        reply->deleteLater();
        return body;
    }

private:
    QNetworkAccessManager m_nam;
};

void Ending(benchmark::State &state)
{
    Box().clearFaults();
    if (state.range(0) == 1) {
        sandbox::Fault closed{"/google"};
        closed.closeDelimited = true;
        Box().addFault(closed);
    }
}

void Report(benchmark::State &state, int fetches, size_t requestsSeen)
{
    state.counters["fetches_per_s"] =
        benchmark::Counter(double(fetches), benchmark::Counter::kIsRate);
    state.counters["sent_per_fetch"] = fetches ? double(requestsSeen) / fetches : 0;
}

void BM_LibcurlClient(benchmark::State &state)
{
    QTemporaryDir folder;
    TRunState run;
    THttpClient http(run, folder.path() + QLatin1Char('/'));
    Ending(state);
    Box().clearRequests();
    int i = 0;
    for (auto _ : state) {
        const THttpClient::Result r = http.Get(Address(i++));
        if (!r.Ok)
            state.SkipWithError(qPrintable(r.Reason));
    }
    Report(state, i, Box().requests().size());
    Box().clearFaults();
}
BENCHMARK(BM_LibcurlClient)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("closed")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_OldQtClient(benchmark::State &state)
{
    OldQtClient http;
    Ending(state);
    Box().clearRequests();
    int i = 0;
    for (auto _ : state) {
        if (http.Get(Address(i++)).isEmpty())
            state.SkipWithError("empty answer");
    }
    Report(state, i, Box().requests().size());
    Box().clearFaults();
}
BENCHMARK(BM_OldQtClient)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("closed")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// One curl process over a batch of the same addresses, with the same
// headers, so that its start-up is spread over the batch.
void BM_CurlCommand(benchmark::State &state)
{
    constexpr int Batch = 50;
    Ending(state);
    Box().clearRequests();
    int i = 0;
    for (auto _ : state) {
        QStringList args{QStringLiteral("-s"), QStringLiteral("-H"),
                         QStringLiteral("Connection: close"), QStringLiteral("-H"),
                         QStringLiteral("Accept-Encoding: identity")};
        for (int k = 0; k < Batch; ++k)
            args << QStringLiteral("-o") << QStringLiteral("/dev/null")
                 << QString::fromLatin1(Address(i++));
        QProcess curl;
        curl.start(QStringLiteral("curl"), args);
        if (!curl.waitForFinished(60000) || curl.exitCode() != 0)
            state.SkipWithError("curl failed");
    }
    Report(state, i, Box().requests().size());
    state.counters["batch"] = Batch;
    Box().clearFaults();
}
BENCHMARK(BM_CurlCommand)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("closed")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A request that trickles for about a second; a 1 ms timer measures the
// longest stretch the loop could not serve it.
void BM_EventLoopGapDuringSlowRequest(benchmark::State &state)
{
    sandbox::WireServer wire;
    wire.start();
    sandbox::WireSettings s;
    s.mode = sandbox::WireMode::Trickle;
    s.bodySize = 2000;
    s.trickleBytes = 100;
    s.trickleMs = 50;
    wire.setSettings(s);
    QTemporaryDir folder;
    TRunState run;
    THttpClient http(run, folder.path() + QLatin1Char('/'));
    qint64 worst = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = qMax(worst, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(1);
        http.Get(Bytes(wire.baseUrl()) + "/slow");
        tick.stop();
    }
    state.counters["worst_gap_ms"] = double(worst);
}
BENCHMARK(BM_EventLoopGapDuringSlowRequest)->Iterations(3)->Unit(benchmark::kMillisecond);

// From Disconnect() to the blocking call's return, during a slow body.
void BM_StopLatency(benchmark::State &state)
{
    sandbox::WireServer wire;
    wire.start();
    sandbox::WireSettings s;
    s.mode = sandbox::WireMode::Trickle;
    s.bodySize = 100000;
    s.trickleBytes = 10;
    s.trickleMs = 20;
    wire.setSettings(s);
    QTemporaryDir folder;
    TRunState run;
    THttpClient http(run, folder.path() + QLatin1Char('/'));
    double worst = 0, total = 0;
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer since;
        QTimer::singleShot(200, [&] {
            since.start();
            http.Disconnect();
        });
        http.Get(Bytes(wire.baseUrl()) + "/slow");
        const double ms = double(since.nsecsElapsed()) / 1e6;
        worst = qMax(worst, ms);
        total += ms;
        ++n;
    }
    state.counters["stop_ms_mean"] = n ? total / n : 0;
    state.counters["stop_ms_worst"] = worst;
}
BENCHMARK(BM_StopLatency)->Iterations(5)->Unit(benchmark::kMillisecond);

long ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

// Live heap and resident size after many requests, per request: what a
// long run keeps.
void BM_MemoryPerRequest(benchmark::State &state)
{
    QTemporaryDir folder;
    TRunState run;
    THttpClient http(run, folder.path() + QLatin1Char('/'));
    Box().clearFaults();
    for (int i = 0; i < 50; ++i)
        http.Get(Address(i)); // warm up
    Box().clearRequests();
    const size_t heapBefore = mallinfo2().uordblks;
    const long rssBefore = ResidentKiB();
    int n = 0;
    for (auto _ : state) {
        http.Get(Address(n++));
        // The emulator's own record lives in this process too.
        if (n % 100 == 0)
            Box().clearRequests();
    }
    QCoreApplication::processEvents(); // pending deleteLater
    const double heap = double(mallinfo2().uordblks) - double(heapBefore);
    state.counters["heap_bytes_per_request"] = n ? heap / n : 0;
    state.counters["rss_kib_growth"] = double(ResidentKiB() - rssBefore);
}
BENCHMARK(BM_MemoryPerRequest)->Iterations(2000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
