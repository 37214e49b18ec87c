// The whole keyword cycle as a user goes through it, on the real main window
// against the emulator: main keyword, Gather Keywords with a security image,
// a typed phrase, a keyword file, Gather Data, a sort, Save Results; then a
// broad pass over the same list.

#include "StatsTestSupport.h"
#include "keywords/FAddKeywords.h"
#include "keywords/FCaptcha.h"
#include "keywords/FMainKeyword.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

struct ExpectedRow
{
    QByteArray no, keyword, searches;
    QByteArray counts[3];
};

QByteArray quoted(const QByteArray &value)
{
    QByteArray doubled = value;
    return '"' + doubled.replace("\"", "\"\"") + '"';
}

QByteArray csvOf(const std::vector<ExpectedRow> &rows)
{
    QByteArray text = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";
    for (const ExpectedRow &r : rows)
        text += quoted(r.no) + ',' + quoted(r.keyword) + ',' + quoted(r.searches) + ',' +
                quoted(r.counts[0]) + ',' + quoted(r.counts[1]) + ',' + quoted(r.counts[2]) +
                "\r\n";
    return text;
}

} // namespace

class TestEndToEnd : public QObject, MainWindowFixture
{
    Q_OBJECT

    void clickHeader(int column) { ClickHeader(*w, column); }
    void addKeywords(ModalScript &script, const std::function<void(TfrmAddKeywords &)> &fill)
    {
        const int before = script.opened;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            fill(dlg);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
        QCOMPARE(script.opened, before + 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        box.setChallengeMode(sandbox::ChallengeMode::FirstTime);
        QVERIFY(box.start());
        QVERIFY(openWindow());
    }
    void cleanupTestCase() { w.reset(); }

    void keywordCycle_preciseSortedSaved_thenBroad()
    {
        ModalScript script;
        // Main Keyword
        script.then([](QDialog &d) {
            auto &dlg = static_cast<TfrmMainKeyword &>(d);
            QTest::keyClicks(dlg.edtMainKeyword, QStringLiteral("golf"));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnMainKeyword, Qt::LeftButton);
        QCOMPARE(w->MainKeyword, QByteArray("golf"));

        // Gather Keywords: the service asks for its security image first.
        bool sawPicture = false;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmCaptcha &>(d);
            sawPicture =
                QTest::qWaitFor([&] { return !dlg.EmbeddedWB1->pixmap().isNull(); }, 10000);
            const std::string expected = box.expectedAnswer(dlg.RandomValue.toStdString());
            QTest::keyClicks(dlg.edtPassword, QString::fromStdString(expected));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnGatherKeyword, Qt::LeftButton);
        QVERIFY(sawPicture);
        QCOMPARE(script.opened, 2);

        std::vector<ExpectedRow> rows;
        for (const auto &[phrase, searches] : sandbox::Sandbox::suggestionsFor("golf"))
            rows.push_back(
                {QByteArray::number(int(rows.size()) + 1), Bytes(phrase), Bytes(searches), {}});
        QCOMPARE(list().count(), int(rows.size()));

        // A typed phrase and a keyword file, one line of it with quotes.
        addKeywords(script, [](TfrmAddKeywords &dlg) {
            QTest::keyClicks(dlg.edtAddKeyword, QStringLiteral("golf clubs for women"));
        });
        rows.push_back({QByteArray::number(int(rows.size()) + 1), "golf clubs for women", "", {}});
        QFile file(folder.filePath(QStringLiteral("mine.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("putting green\r\nsay \"fore\"\r\n");
        file.close();
        addKeywords(script, [&](TfrmAddKeywords &dlg) { dlg.edtList->setText(file.fileName()); });
        for (const QByteArray &line : {QByteArray("putting green"), QByteArray("say \"fore\"")})
            rows.push_back({QByteArray::number(int(rows.size()) + 1), line, "", {}});
        QCOMPARE(list().count(), int(rows.size()));

        // Gather Data, precise.
        AnswerSearchType(script, 0);
        QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        for (ExpectedRow &r : rows)
            for (int e = 0; e < 3; ++e)
                r.counts[e] = ExpectedCount(EngineNames[e], r.keyword, 0);

        // Sort by Google, then save through the real dialog.
        clickHeader(KeywordRow::Google);
        std::vector<ExpectedRow> sorted = rows;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
            return SortNumber(a.counts[0]) < SortNumber(b.counts[0]);
        });
        script.then([](QDialog &d) {
            d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("results"));
            QTest::mouseClick(d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
                                  ->button(QDialogButtonBox::Save),
                              Qt::LeftButton);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QFile saved(folder.filePath(QStringLiteral("results.csv")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), csvOf(sorted));
        SaveShot(*w, QStringLiteral("main-end-to-end-precise-sorted"));

        // Broad over the same list: the loose words always find more.
        AnswerSearchType(script, 1);
        QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        QVERIFY(script.steps.isEmpty());
        QCOMPARE(script.unexpected, QStringList());
        for (int i = 0; i < list().count(); ++i) {
            const KeywordRow &row = list().row(i);
            const auto precise = std::find_if(rows.begin(), rows.end(), [&](const ExpectedRow &r) {
                return r.no == row[KeywordRow::No];
            });
            QVERIFY(precise != rows.end());
            for (int e = 0; e < 3; ++e) {
                const QByteArray broad = row[KeywordRow::Google + e];
                QCOMPARE(broad, ExpectedCount(EngineNames[e], row[KeywordRow::Keywords], 1));
                QVERIFY2(SortNumber(broad) > SortNumber(precise->counts[e]),
                         row[KeywordRow::Keywords].constData());
            }
        }
        QVERIFY(msg.shown.isEmpty());
    }
};

int RunEndToEndTests(int argc, char **argv)
{
    TestEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_endtoend.moc"
