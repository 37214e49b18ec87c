#pragma once
// Shared by the Gather Data, Save Results and end-to-end tests: the real main
// window wired to an in-process emulator, and small helpers to play the user.

#include "app/FMain.h"
#include "base/HttpClient.h"
#include "stats/FSelectSearch.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include "sandbox/Sandbox.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <string>

inline QByteArray Bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

inline Endpoints SandboxEndpoints(const sandbox::Sandbox &box)
{
    return {Bytes(box.suggestBase()), Bytes(box.googleBase()), Bytes(box.yahooBase()),
            Bytes(box.msnBase()), Bytes(box.liveUpdateBase())};
}

// What a test of the main window holds: the emulator, a program folder, the
// window on it and the box that answers its messages.
struct MainWindowFixture
{
    sandbox::Sandbox box;
    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    TKeywordList &list() { return *w->Items(); }
    QByteArray text(int row, int col) { return list().row(row)[col]; }
    bool startBox() { return folder.isValid() && box.start(); }
    // What each test starts from: no faults, no recorded requests, a new window.
    bool freshWindow()
    {
        box.clearFaults();
        box.clearRequests();
        return openWindow();
    }
    // A window on the program folder; the general error handler's boxes are
    // left to the real one.
    bool openWindow()
    {
        w = OpenMainWindow(SandboxEndpoints(box), folder.path() + QLatin1Char('/'), msg, false);
        return w != nullptr;
    }
    // Typed rows with nothing but their keyword.
    void addRows(const QByteArrayList &keywords)
    {
        for (const QByteArray &k : keywords)
            list().addRow(k);
    }
    // Gather Data through the button, answering the search type dialog.
    void gather(int searchType);
};

// What the emulator shows for a keyword: a precise search sends it quoted.
inline QByteArray ExpectedCount(const char *engine, const QByteArray &keyword, int searchType)
{
    std::string query = keyword.toStdString();
    if (searchType == 0)
        query = '"' + query + '"';
    return Bytes(sandbox::Sandbox::engineCount(engine, query));
}

inline const char *const EngineNames[] = {"google", "yahoo", "msn"};

// Requests the emulator received under one path prefix ("/yahoo").
inline std::vector<sandbox::RecordedRequest> RequestsUnder(const sandbox::Sandbox &box,
                                                           const std::string &prefix)
{
    std::vector<sandbox::RecordedRequest> out;
    for (const sandbox::RecordedRequest &r : box.requests())
        if (r.path.compare(0, prefix.size(), prefix) == 0)
            out.push_back(r);
    return out;
}

// Answers the search type dialog: 0 precise, 1 broad, -1 Cancel.
inline void AnswerSearchType(ModalScript &script, int choice)
{
    script.then([choice](QDialog &d) {
        auto &dlg = static_cast<TfrmSelSearch &>(d);
        if (choice < 0) {
            QTest::mouseClick(dlg.btnCancel, Qt::LeftButton);
            return;
        }
        QTest::mouseClick(choice == 0 ? dlg.bsSkinCheckRadioBox1 : dlg.bsSkinCheckRadioBox2,
                          Qt::LeftButton);
        QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
    });
}

inline void MainWindowFixture::gather(int searchType)
{
    ModalScript script;
    AnswerSearchType(script, searchType);
    QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
    QVERIFY(script.steps.isEmpty());
}

// Runs an action from the event loop once the emulator has seen what the
// predicate waits for; polls while a run is waiting for its pages.
class WhenRequested : public QObject
{
public:
    using Predicate = std::function<bool(const std::vector<sandbox::RecordedRequest> &)>;

    WhenRequested(const sandbox::Sandbox &box, Predicate until, std::function<void()> action)
        : m_box(box), m_until(std::move(until)), m_action(std::move(action))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (m_fired || !m_until(m_box.requests()))
                return;
            m_fired = true;
            m_timer.stop();
            m_action();
        });
        m_timer.start(2);
    }
    bool fired() const { return m_fired; }

private:
    const sandbox::Sandbox &m_box;
    Predicate m_until;
    std::function<void()> m_action;
    QTimer m_timer;
    bool m_fired = false;
};

// Records the longest time the event loop went without serving a 10 ms timer.
class EventGapProbe : public QObject
{
public:
    EventGapProbe()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.elapsed();
            m_worst = qMax(m_worst, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_worst = 0;
        m_timer.start(10);
    }
    qint64 stop()
    {
        m_timer.stop();
        m_worst = qMax(m_worst, m_clock.elapsed() - m_last);
        return m_worst;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};
