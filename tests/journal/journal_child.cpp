// The program the kill tests end with SIGKILL, and a holder of a journal's
// lock for the locked-file test.
//   journal_child hold <journal file>
//   journal_child gather <journal folder> <emulator base> <keywords> <search type>
//   journal_child window <journal folder> <emulator base> <keywords> <search type> <program folder>
// "gather" runs Gather Data on a list with the journal, without a window;
// "window" does the same through the real main window.

#include "KillRun.h"
#include "app/FMain.h"
#include "base/CommandContext.h"
#include "base/FModal.h"
#include "base/HttpClient.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"
#include "base/RunState.h"
#include "base/StatusBar.h"
#include "journal/Journal.h"
#include "stats/FSelectSearch.h"
#include "stats/GatherData.h"

#include <QApplication>
#include <QFile>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

struct Quiet : IMessageBox, IStatusBar, IUserPrompts
{
    MsgResult Show(const QString &, MsgType, MsgButtons) override { return MsgResult::Ok; }
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override {}
    std::optional<CaptchaAnswer> AskCaptcha(const QByteArray &) override { return std::nullopt; }
    std::optional<int> AskSearchType() override { return std::nullopt; }
    QString AskSaveFileName(const QString &) override { return {}; }
};

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

int hold(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK)
        return 2;
    if (sqlite3_exec(db,
                     "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                     "SELECT count(*) FROM items;",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return 3;
    say("held");
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "hold")
        return hold(QString::fromLocal8Bit(argv[2]));
    if (argc < 6)
        return 1;
    const QByteArray mode = argv[1];
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const Endpoints urls = KillRunEndpoints(argv[3]);
    const int count = atoi(argv[4]);
    const int searchType = atoi(argv[5]);

    if (mode == "gather") {
        QCoreApplication app(argc, argv);
        TKeywordList list;
        TJournal journal;
        journal.attach(list);
        journal.open(folder);
        PrepareKillRunList(list, count);
        journal.flush();
        TRunState run;
        THttpClient http(run, folder);
        Quiet quiet;
        TCommandContext ctx{list, http, run, quiet, quiet, quiet, urls};
        say("ready");
        journal.runStarted(searchType, int(TGatherScope::All));
        GatherData(ctx, searchType, TGatherScope::All);
        journal.runEnded();
        say("done");
        // Wait for the kill: a crash after the run ended.
        for (;;)
            ::pause();
    }
    if (mode == "window" && argc >= 7) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        TfrmMain window(urls, QString::fromLocal8Bit(argv[6]));
        window.Timer1->stop();
        Quiet quiet;
        window.SetMessageBox(&quiet);
        window.StartJournal(folder);
        SetModalRunner([searchType](QDialog &dialog) {
            auto *select = qobject_cast<TfrmSelSearch *>(&dialog);
            if (!select)
                return int(QDialog::Rejected);
            (searchType == 0 ? select->bsSkinCheckRadioBox1 : select->bsSkinCheckRadioBox2)
                ->setChecked(true);
            return int(QDialog::Accepted);
        });
        window.show();
        PrepareKillRunList(*window.Items(), count);
        window.Journal()->flush();
        QTimer::singleShot(0, &window, [&] {
            say("ready");
            window.btnGatherDataClick();
            say("done");
        });
        return app.exec();
    }
    return 1;
}
