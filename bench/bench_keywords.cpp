// Import and sort of large keyword lists, with the list shown in a table
// view as in the main window.

#include "base/KeywordList.h"
#include "base/StatusBar.h"
#include "keywords/KeywordFile.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace {

class NullStatus : public IStatusBar
{
public:
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override {}
};

QString WriteKeywordFile(const QTemporaryDir &dir, int lines)
{
    const QString path = dir.filePath(QStringLiteral("keywords-%1.txt").arg(lines));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    std::mt19937 rng(7);
    for (int i = 0; i < lines; ++i)
        file.write("golf keyword phrase " + QByteArray::number(static_cast<quint32>(rng())) +
                   "\r\n");
    return path;
}

struct Shown
{
    TKeywordList list;
    QTableView view;
    Shown()
    {
        view.setModel(&list);
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->hide();
        view.resize(914, 400);
        view.show();
    }
};

void FillForSort(TKeywordList &list, int rows)
{
    std::mt19937_64 rng(11);
    QList<QByteArray> words;
    for (int i = 0; i < rows; ++i)
        words.append("Keyword " + QByteArray::number(static_cast<quint64>(rng() % 1000000)));
    list.appendKeywords(words, 1);
    const QLocale english(QLocale::English);
    for (int i = 0; i < rows; ++i)
        list.setText(i, KeywordRow::Google,
                     english.toString(static_cast<qint64>(rng() % 9000000000ULL)).toLatin1());
}

void BM_ImportKeywordFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = WriteKeywordFile(dir, static_cast<int>(state.range(0)));
    NullStatus status;
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<Shown>();
        state.ResumeTiming();
        AddKeywordsFromFile(path, shown->list, status);
        QCoreApplication::processEvents();
        state.PauseTiming();
        shown.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImportKeywordFile)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_Sort(benchmark::State &state, int column)
{
    Shown shown;
    FillForSort(shown.list, static_cast<int>(state.range(0)));
    bool ascending = true;
    for (auto _ : state) {
        shown.list.sortByColumn(column, ascending);
        QCoreApplication::processEvents();
        ascending = !ascending;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(BM_Sort, Google, int(KeywordRow::Google))
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sort, Keywords, int(KeywordRow::Keywords))
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
