// The start-up pass over a large settings file: decrypting dbsettings.dat
// from disk and reading every entry, with 16 entries in each numbered family
// and a 1 MB about text; and the reading alone.

#include "settings/SettingsCipher.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QByteArray Entry(const QByteArray &tag, const QByteArray &value)
{
    return "<%%" + tag + "%%>" + value + "<%%/" + tag + "%%>\r\n";
}

QByteArray LargeSettingsText()
{
    QByteArray text;
    for (const QByteArray &tag : SettingsEntryTags())
        text += Entry(tag, tag == "AboutText" ? QByteArray() : "value of " + tag);
    QByteArray about;
    while (about.size() < 1000000)
        about += "Keyword research for resellers, line " + QByteArray::number(about.size()) +
                 " of a long about text.\n";
    text.replace("<%%AboutText%%><%%/AboutText%%>", "<%%AboutText%%>" + about + "<%%/AboutText%%>");
    // Each family follows the one before it, as the file must hold them.
    for (int i = 1; i <= 16; ++i)
        text += Entry("Welcome" + QByteArray::number(i),
                      "<html><body><h2>Welcome page " + QByteArray::number(i) + "</h2>" +
                          QByteArray(2000, 'w') + "</body></html>");
    for (int i = 1; i <= 16; ++i)
        text += Entry("Banner" + QByteArray::number(i),
                      "banner.gif^http://www.example.com/b" + QByteArray::number(i));
    for (int i = 1; i <= 16; ++i)
        text += Entry("Link" + QByteArray::number(i),
                      "Link^http://www.example.com/l" + QByteArray::number(i));
    return text;
}

struct Folder
{
    QTemporaryDir dir;
    QString path;
    qsizetype plainSize = 0;

    Folder()
    {
        path = dir.path() + QLatin1Char('/');
        const QByteArray text = LargeSettingsText();
        plainSize = text.size();
        QFile plain(dir.filePath("plain.txt"));
        plain.open(QIODevice::WriteOnly);
        plain.write(text);
        plain.close();
        EncryptSettingsFile(plain.fileName(), path + SettingsFileName);
    }
};

Folder &TheFolder()
{
    static Folder folder;
    return folder;
}

void BM_StartupPass_DecryptAndRead(benchmark::State &state)
{
    Folder &folder = TheFolder();
    QRandomGenerator random(1);
    for (auto _ : state) {
        const std::optional<QByteArray> plain = ReadSettingsPlain(folder.path);
        TSettingsPass pass = ReadSettingsText(plain.value_or(QByteArray()), random);
        if (pass.Settings.AboutText.size() < 1000000 || pass.Settings.Link2URL.isEmpty())
            state.SkipWithError("settings not read");
        benchmark::DoNotOptimize(pass);
    }
    state.SetBytesProcessed(state.iterations() * folder.plainSize);
}

void BM_StartupPass_ReadOnly(benchmark::State &state)
{
    const QByteArray text = LargeSettingsText();
    QRandomGenerator random(1);
    for (auto _ : state) {
        TSettingsPass pass = ReadSettingsText(text, random);
        if (pass.Settings.BannerNumber == 0 || pass.Settings.Link2URL.isEmpty())
            state.SkipWithError("settings not read");
        benchmark::DoNotOptimize(pass);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}

} // namespace

BENCHMARK(BM_StartupPass_DecryptAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupPass_ReadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
