// The settings file as the program meets it: real files encrypted with the
// program's cipher, read back through the start-up pass and the last-news-id
// read and write-back.

#include "CipherTestSupport.h"
#include "settings/SettingsCipher.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

using cipher_test::ReadFile;
using cipher_test::WriteFile;

namespace {

QByteArray Entry(const QByteArray &tag, const QByteArray &value)
{
    return "<%%" + tag + "%%>" + value + "<%%/" + tag + "%%>\r\n";
}

// A byte string that may hold zero bytes.
template <size_t N> QByteArray Raw(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}

QByteArray Family(const QByteArray &tag, int count, const QByteArray &prefix)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += Entry(tag + QByteArray::number(i), prefix + QByteArray::number(i));
    return text;
}

QByteArray Field(const TSettingsPass &pass, const QByteArray &name)
{
    const TProgramSettings &s = pass.Settings;
    const QHash<QByteArray, QByteArray> fields{
        {"ApplicationName", s.ApplicationName},
        {"BranderCode", s.BranderCode},
        {"BranderType", s.BranderType},
        {"AffiliateURL", s.AffiliateURL},
        {"AffiliateID", s.AffiliateID},
        {"AppHelpURL", s.AppHelpURL},
        {"AboutText", s.AboutText},
        {"MakeMoney", pass.MakeMoneyCaption},
        {"WelcomeHTML", s.WelcomeHTML},
        {"BannerImage", s.BannerImage},
        {"BannerURL", s.BannerURL},
    };
    return fields.value(name, "<no such field>");
}

QStringList FolderFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Makes a folder immutable for this test, root included: permission bits
// first, and the file system's immutable flag when they do not bind (root).
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString &path) : path(path)
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (!CanCreate())
            return;
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~UnwritableFolder()
    {
        if (immutable) {
            int flags = 0;
            ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool CanCreate() const
    {
        QFile probe(QDir(path).filePath("probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return false;
        probe.close();
        probe.remove();
        return true;
    }
    bool Holds() const { return !CanCreate(); }

private:
    QString path;
    int fd = -1;
    bool immutable = false;
};

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> temp;
    QString folder; // the program folder, with its trailing separator

    QString SettingsPath() const { return folder + SettingsFileName; }

    // Puts the text into the folder as the reseller's tool would.
    void Install(const QByteArray &plain)
    {
        const QString source = temp->filePath("plain.txt");
        QVERIFY(WriteFile(source, plain));
        QVERIFY(EncryptSettingsFile(source, SettingsPath()));
        QFile::remove(source);
    }

    TSettingsPass Load(quint32 seed = 1)
    {
        const std::optional<QByteArray> plain = ReadSettingsPlain(folder);
        if (!plain)
            return {};
        QRandomGenerator random(seed);
        return ReadSettingsText(*plain, random);
    }

private slots:
    void init()
    {
        temp.emplace();
        QVERIFY(temp->isValid());
        QVERIFY(QDir(temp->path()).mkdir("program"));
        folder = temp->filePath("program") + QLatin1Char('/');
    }
    void cleanup() { temp.reset(); }

    void readSettings_completeFileFillsEveryField()
    {
        QByteArray text;
        const QList<QByteArray> tags = SettingsEntryTags();
        for (const QByteArray &tag : tags)
            text += Entry(tag, "v-" + tag);
        text += Entry("Welcome1", "<html>w</html>") + Entry("Banner1", "top.gif^http://b/") +
                Entry("Link1", "One^http://1/");
        Install(text);
        const TSettingsPass pass = Load();
        const TProgramSettings &s = pass.Settings;
        const QList<QByteArray> got{s.ApplicationName,
                                    s.BranderCode,
                                    s.BranderType,
                                    s.AffiliateURL,
                                    s.AffiliateTYPE,
                                    s.AffiliateID,
                                    s.MasterNewsBaseURL,
                                    s.PlatinumNewsBaseURL,
                                    s.GoldNewsBaseURL,
                                    s.MasterPublID,
                                    s.PlatinumPublID,
                                    s.GoldPublID,
                                    pass.MakeMoneyCaption,
                                    s.AppHelpURL,
                                    s.CopyrightYears,
                                    s.CopyrightCompany,
                                    s.AboutText};
        QCOMPARE(got.size(), tags.size());
        for (qsizetype i = 0; i < tags.size(); ++i)
            QCOMPARE(got[i], "v-" + tags[i]);
        QCOMPARE(s.WelcomeHTML, QByteArray("<html>w</html>"));
        QCOMPARE(s.BannerImage, QByteArray("top.gif"));
        QCOMPARE(s.BannerURL, QByteArray("http://b/"));
        QCOMPARE(s.BannerNumber, 1);
        QCOMPARE(s.Link1Caption, QByteArray("One"));
        QCOMPARE(s.Link1URL, QByteArray("http://1/"));
        QVERIFY(s.Link2Caption.isEmpty() && s.Link2URL.isEmpty());
        QCOMPARE(FolderFiles(folder), QStringList{SettingsFileName});
    }

    void readSettings_entryRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray gold = Entry("BranderType", "Gold");
        const QByteArray demo = Entry("ApplicationName", "Demo");
        QTest::newRow("entry before one already read is lost")
            << gold + demo << QByteArray("BranderType") << QByteArray();
        QTest::newRow("...and the later one still reads")
            << gold + demo << QByteArray("ApplicationName") << QByteArray("Demo");
        QTest::newRow("markers in mixed case")
            << QByteArray("<%%applicationname%%>Demo<%%/APPLICATIONNAME%%>")
            << QByteArray("ApplicationName") << QByteArray("Demo");
        QTest::newRow("value kept untrimmed")
            << Entry("ApplicationName", " \tDemo  ") << QByteArray("ApplicationName")
            << QByteArray(" \tDemo  ");
        QTest::newRow("value spans lines, every break becomes CR LF")
            << Entry("AboutText", "one\ntwo\rthree\r\n\nfour") << QByteArray("AboutText")
            << QByteArray("one\r\ntwo\r\nthree\r\n\r\nfour");
        QTest::newRow("end marker missing reads as empty")
            << QByteArray("<%%ApplicationName%%>Demo\r\n") + Entry("BranderCode", "ab12")
            << QByteArray("ApplicationName") << QByteArray();
        QTest::newRow("...and the search goes on after its start marker")
            << QByteArray("<%%ApplicationName%%>Demo\r\n") + Entry("BranderCode", "ab12")
            << QByteArray("BranderCode") << QByteArray("ab12");
        QTest::newRow("text around entries ignored")
            << "Reseller notes\r\n" + demo + "more notes" << QByteArray("ApplicationName")
            << QByteArray("Demo");
        QTest::newRow("placeholder replaced everywhere")
            << Entry("AffiliateURL", "http://a/?id=%%AFFILIATEID%%&r=%%AFFILIATEID%%") +
                   Entry("AffiliateID", "77")
            << QByteArray("AffiliateURL") << QByteArray("http://a/?id=77&r=77");
        QTest::newRow("placeholder in lower case left alone")
            << Entry("AffiliateURL", "http://a/?id=%%affiliateid%%") + Entry("AffiliateID", "77")
            << QByteArray("AffiliateURL") << QByteArray("http://a/?id=%%affiliateid%%");
        QTest::newRow("empty affiliate id removes the placeholder")
            << Entry("AffiliateURL", "http://a/?id=%%AFFILIATEID%%") << QByteArray("AffiliateURL")
            << QByteArray("http://a/?id=");
        QTest::newRow("id holding the placeholder is not replaced again")
            << Entry("AffiliateURL", "%%AFFILIATEID%%") + Entry("AffiliateID", "%%AFFILIATEID%%x")
            << QByteArray("AffiliateURL") << QByteArray("%%AFFILIATEID%%x");
        QTest::newRow("Make Money caption as written")
            << Entry("MakeMoneyButton", "Earn!") << QByteArray("MakeMoney") << QByteArray("Earn!");
        QTest::newRow("banner without address")
            << Entry("Banner1", "images\\top.GIF") << QByteArray("BannerURL") << QByteArray();
        QTest::newRow("banner image kept with its path")
            << Entry("Banner1", "images\\top.GIF^http://b/^extra") << QByteArray("BannerImage")
            << QByteArray("images\\top.GIF");
    }

    void readSettings_entryRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, expected);
        Install(text);
        QCOMPARE(Field(Load(), field), expected);
    }

    void readSettings_makeMoneyCaptionDefault()
    {
        Install(Entry("MakeMoneyButton", ""));
        QCOMPARE(ShownMakeMoneyCaption(Load()), QByteArray("Make Money"));
        Install(Entry("MakeMoneyButton", "Earn"));
        QCOMPARE(ShownMakeMoneyCaption(Load()), QByteArray("Earn"));
    }

    // Over many seeded draws: which values each family offers.
    void families_candidatesOverDraws_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QSet<QByteArray>>("welcomes");
        QTest::addColumn<QSet<QByteArray>>("banners"); // image + '#' + number

        QTest::newRow("gap ends the family")
            << Entry("Welcome1", "w1") + Entry("Welcome2", "w2") + Entry("Welcome4", "w4")
            << QSet<QByteArray>{"w1", "w2"} << QSet<QByteArray>{"#0"};
        QTest::newRow("empty entry ends the family")
            << Entry("Welcome1", "w1") + Entry("Welcome2", "") + Entry("Welcome3", "w3")
            << QSet<QByteArray>{"w1"} << QSet<QByteArray>{"#0"};
        QSet<QByteArray> sixteen;
        for (int i = 1; i <= 16; ++i)
            sixteen.insert("w" + QByteArray::number(i));
        QTest::newRow("seventeenth never read, banners after it found")
            << Family("Welcome", 17, "w") + Family("Banner", 2, "b") << sixteen
            << QSet<QByteArray>{"b1#1", "b2#2"};
        QTest::newRow("banners only after the welcome pages")
            << Entry("Banner1", "early") + Entry("Welcome1", "w1") + Entry("Banner1", "late")
            << QSet<QByteArray>{"w1"} << QSet<QByteArray>{"late#1"};
        QTest::newRow("none") << QByteArray() << QSet<QByteArray>{""} << QSet<QByteArray>{"#0"};
    }

    void families_candidatesOverDraws()
    {
        QFETCH(QByteArray, text);
        QFETCH(QSet<QByteArray>, welcomes);
        QFETCH(QSet<QByteArray>, banners);
        Install(text);
        const std::optional<QByteArray> plain = ReadSettingsPlain(folder);
        QVERIFY(plain);
        QRandomGenerator random(7); // one generator for the run, as the program has
        QSet<QByteArray> seenWelcomes, seenBanners;
        for (int draw = 0; draw < 400; ++draw) {
            const TProgramSettings s = ReadSettingsText(*plain, random).Settings;
            seenWelcomes.insert(s.WelcomeHTML);
            seenBanners.insert(s.BannerImage + '#' + QByteArray::number(s.BannerNumber));
        }
        QCOMPARE(seenWelcomes, welcomes);
        QCOMPARE(seenBanners, banners);
    }

    void links_twoDifferentInBothOrders_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("five") << 5;
    }

    void links_twoDifferentInBothOrders()
    {
        QFETCH(int, count);
        QByteArray text;
        for (int i = 1; i <= count; ++i)
            text += Entry("Link" + QByteArray::number(i),
                          "L" + QByteArray::number(i) + "^http://" + QByteArray::number(i));
        text += Entry("Link" + QByteArray::number(count + 2), "late^http://late");
        Install(text);
        QSet<QByteArray> pairs;
        for (quint32 seed = 0; seed < 200; ++seed) {
            const TProgramSettings s = Load(seed).Settings;
            QCOMPARE(s.Link1URL, "http://" + s.Link1Caption.mid(1));
            if (count == 1) {
                QCOMPARE(s.Link1Caption, QByteArray("L1"));
                QVERIFY(s.Link2Caption.isEmpty() && s.Link2URL.isEmpty());
                continue;
            }
            QCOMPARE(s.Link2URL, "http://" + s.Link2Caption.mid(1));
            QVERIFY(s.Link1Caption != s.Link2Caption);
            QVERIFY(s.Link1Caption != "late" && s.Link2Caption != "late");
            pairs.insert(s.Link1Caption + s.Link2Caption);
        }
        if (count == 2)
            QCOMPARE(pairs, (QSet<QByteArray>{"L1L2", "L2L1"}));
        if (count == 5)
            QCOMPARE(pairs.size(), 20); // every ordered pair of different links
    }

    void newsButton_followsTierExactly_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("visible");
        const QByteArray master =
            Entry("MasterNewsBaseURL", "http://m/") + Entry("MasterPublID", "11");
        const QByteArray platinum =
            Entry("PlatinumNewsBaseURL", "http://p/") + Entry("PlatinumPublID", "22");
        auto tier = [](const QByteArray &type) { return Entry("BranderType", type); };
        QTest::newRow("Master") << tier("Master") + master << true;
        QTest::newRow("master in lower case") << tier("master") + master << false;
        QTest::newRow("Master without publisher id")
            << tier("Master") + Entry("MasterNewsBaseURL", "http://m/") << false;
        QTest::newRow("Free with Master values") << tier("Free") + master << true;
        QTest::newRow("Free with only Platinum values") << tier("Free") + platinum << false;
        QTest::newRow("Platinum") << tier("Platinum") + platinum << true;
        QTest::newRow("Gold with Platinum values") << tier("Gold") + platinum << false;
        QTest::newRow("Gold") << tier("Gold") + Entry("GoldNewsBaseURL", "http://g/") +
                                     Entry("GoldPublID", "3")
                              << true;
        QTest::newRow("no tier") << master << false;
    }

    void newsButton_followsTierExactly()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, visible);
        Install(text);
        QCOMPARE(NewsButtonVisible(Load().Settings), visible);
    }

    void bannerFileName_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("top.gif") << QByteArray("top.gif");
        QTest::newRow("backslash path") << QByteArray("images\\top.jpg") << QByteArray("top.jpg");
        QTest::newRow("forward slash kept")
            << QByteArray("images/top.jpg") << QByteArray("images/top.jpg");
        QTest::newRow("drive and path")
            << QByteArray("C:\\art\\x.gif.png") << QByteArray("x.gif.png");
        QTest::newRow("colon after backslash") << QByteArray("a\\b:c.png") << QByteArray("c.png");
        QTest::newRow("trailing separator") << QByteArray("images\\") << QByteArray();
    }

    void bannerFileName()
    {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, name);
        QCOMPARE(BannerFileName(image), name);
    }

    void lastNewsId_lineRules_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray body = Entry("ApplicationName", "Demo");
        QTest::newRow("appended as the last line")
            << body + "tail" << body + "tail\r\n<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n";
        QTest::newRow("replaced in place")
            << QByteArray("a\r\n<%%LastNewsId%%>7<%%/LastNewsId%%>\r\nb\r\n")
            << QByteArray("a\r\n<%%LastNewsId%%>42<%%/LastNewsId%%>\r\nb\r\n");
        QTest::newRow("other content of the line kept, its line end too")
            << QByteArray("x <%%LastNewsId%%>7<%%/lastnewsid%%> y\n")
            << QByteArray("x <%%LastNewsId%%>42<%%/LastNewsId%%> y\n");
        QTest::newRow("no end marker: rest of the line")
            << QByteArray("<%%LastNewsId%%>7 junk\nnext")
            << QByteArray("<%%LastNewsId%%>42<%%/LastNewsId%%>\nnext");
        QTest::newRow("first of two lines only")
            << QByteArray("<%%LastNewsId%%>1<%%/LastNewsId%%>\r<%%LastNewsId%%>2<%%/LastNewsId%%>")
            << QByteArray("<%%LastNewsId%%>42<%%/LastNewsId%%>\r"
                          "<%%LastNewsId%%>2<%%/LastNewsId%%>");
        QTest::newRow("marker in other case is the entry the reader reads")
            << QByteArray("<%%lastnewsid%%>7<%%/lastnewsid%%>\r\n")
            << QByteArray("<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n");
        QTest::newRow("mixed case marker mid-file")
            << QByteArray("a\n<%%LASTnewsID%%>7<%%/LastNewsID%%>\nb")
            << QByteArray("a\n<%%LastNewsId%%>42<%%/LastNewsId%%>\nb");
        QTest::newRow("empty text")
            << QByteArray() << QByteArray("<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n");
        // Every byte but the entry's stays as it was.
        QTest::newRow("zero byte: inserted where the reader stops, the rest kept")
            << Raw("a\r\nb\0<%%Link1%%>x^y<%%/Link1%%>\xff")
            << Raw("a\r\nb\r\n<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n\0<%%Link1%%>x^y"
                   "<%%/Link1%%>\xff");
        QTest::newRow("zero byte after the entry")
            << Raw("<%%LastNewsId%%>7<%%/LastNewsId%%>\r\n\0tail\r\n")
            << Raw("<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n\0tail\r\n");
        QTest::newRow("a marker behind the zero byte is not the reader's")
            << Raw("a\n\0<%%LastNewsId%%>7<%%/LastNewsId%%>")
            << Raw("a\n<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n\0<%%LastNewsId%%>7"
                   "<%%/LastNewsId%%>");
        QTest::newRow("bare CR line ends")
            << QByteArray("a\r<%%LastNewsId%%>7<%%/LastNewsId%%>\rb\r\r")
            << QByteArray("a\r<%%LastNewsId%%>42<%%/LastNewsId%%>\rb\r\r");
        QTest::newRow("bare LF line ends, appended")
            << QByteArray("a\nb\n\n")
            << QByteArray("a\nb\n\n<%%LastNewsId%%>42<%%/LastNewsId%%>\r\n");
        QTest::newRow("invalid UTF-8 around the entry")
            << QByteArray("\xff\xfe\xc3(<%%LastNewsId%%>7<%%/LastNewsId%%>\xe2\x82\n\xc0\xaf")
            << QByteArray("\xff\xfe\xc3(<%%LastNewsId%%>42<%%/LastNewsId%%>\xe2\x82\n\xc0\xaf");
    }

    void lastNewsId_lineRules()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, expected);
        QCOMPARE(WithLastNewsId(plain, "42"), expected);
    }

    void lastNewsId_thatCouldAddEntries_isNotWritten_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("CR LF and a welcome page")
            << QByteArray("12\r\n<%%Welcome2%%><a href=\"http://evil/\">Update now</a>"
                          "<%%/Welcome2%%>");
        QTest::newRow("bare CR") << QByteArray("12\rx");
        QTest::newRow("bare LF") << QByteArray("12\n");
        QTest::newRow("zero byte") << Raw("12\0x");
        QTest::newRow("marker on the line") << QByteArray("12<%%/LastNewsId%%><%%Link1%%>a^b");
    }
    void lastNewsId_thatCouldAddEntries_isNotWritten()
    {
        QFETCH(QByteArray, id);
        QVERIFY(!IsStorableNewsId(id));
        const QByteArray settings = Entry("ApplicationName", "Demo") +
                                    "<%%LastNewsId%%>3<%%/LastNewsId%%>\r\n" +
                                    Family("Link", 1, "L");
        QCOMPARE(WithLastNewsId(settings, id), settings);
        Install(settings);
        const QByteArray before = ReadFile(SettingsPath());
        WriteLastNewsId(folder, id);
        QCOMPARE(ReadFile(SettingsPath()), before);
        QCOMPARE(ReadLastNewsId(folder), QByteArray("3"));
        QVERIFY(IsStorableNewsId("12"));
        QVERIFY(IsStorableNewsId(""));
        QVERIFY(IsStorableNewsId("<%abc%%>"));
    }

    void lastNewsId_zeroByteFile_keepsEverythingThroughTheFile()
    {
        const QByteArray settings = Entry("ApplicationName", "Demo") + QByteArray("\0", 1) +
                                    Family("Link", 2, "L") + "\xff\xfe\r";
        Install(settings);
        WriteLastNewsId(folder, "9");
        QCOMPARE(ReadLastNewsId(folder), QByteArray("9"));
        WriteLastNewsId(folder, "10");
        QCOMPARE(ReadLastNewsId(folder), QByteArray("10"));
        const std::optional<QByteArray> plain = ReadSettingsPlain(folder);
        QVERIFY(plain);
        QCOMPARE(*plain, Entry("ApplicationName", "Demo") +
                             "<%%LastNewsId%%>10<%%/LastNewsId%%>\r\n" + QByteArray("\0", 1) +
                             Family("Link", 2, "L") + "\xff\xfe\r");
    }

    void lastNewsId_appendedReplacedReadBackThroughTheFile()
    {
        const QByteArray settings = Entry("ApplicationName", "Demo") + Family("Link", 2, "L");
        Install(settings);
        QCOMPARE(ReadLastNewsId(folder), QByteArray());

        WriteLastNewsId(folder, "12");
        const QByteArray first = ReadFile(SettingsPath());
        QCOMPARE(ReadLastNewsId(folder), QByteArray("12"));
        WriteLastNewsId(folder, "13");
        QCOMPARE(ReadLastNewsId(folder), QByteArray("13"));
        QVERIFY(ReadFile(SettingsPath()) != first);

        const std::optional<QByteArray> plain = ReadSettingsPlain(folder);
        QVERIFY(plain);
        QCOMPARE(*plain, settings + "<%%LastNewsId%%>13<%%/LastNewsId%%>\r\n");
        QCOMPARE(Load().Settings.ApplicationName, QByteArray("Demo"));
        QCOMPARE(FolderFiles(folder), QStringList{SettingsFileName});
    }

    void noSettingsFile_nothingReadNothingCreated()
    {
        QVERIFY(!ReadSettingsPlain(folder).has_value());
        QCOMPARE(ReadLastNewsId(folder), QByteArray());
        WriteLastNewsId(folder, "5");
        QVERIFY(FolderFiles(folder).isEmpty());
    }

    void failedCheck_noFieldsAndFileUntouched_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("other password") << QByteArray("password");
        QTest::newRow("flipped ciphertext byte") << QByteArray("flip");
        QTest::newRow("cut short") << QByteArray("short");
        QTest::newRow("plain text") << QByteArray("plain");
        QTest::newRow("empty file") << QByteArray("empty");
    }

    void failedCheck_noFieldsAndFileUntouched()
    {
        QFETCH(QByteArray, damage);
        const QByteArray plain = Entry("ApplicationName", "Demo") + Entry("BranderType", "Master") +
                                 "<%%LastNewsId%%>3<%%/LastNewsId%%>\r\n";
        QByteArray file = cipher_test::Encrypt(SettingsPassword, plain);
        if (damage == "password") {
            file = cipher_test::Encrypt("another password", plain);
        } else if (damage == "flip") {
            file[12] = char(file[12] ^ 0x01);
        } else if (damage == "short") {
            file.chop(file.size() - 15);
        } else if (damage == "plain") {
            file = plain;
        } else {
            file.clear();
        }
        QVERIFY(WriteFile(SettingsPath(), file));

        const std::optional<QByteArray> read = ReadSettingsPlain(folder);
        QVERIFY(read.has_value());
        QVERIFY(read->isEmpty());
        QRandomGenerator random(1);
        const TSettingsPass pass = ReadSettingsText(*read, random);
        QVERIFY(pass.Settings.ApplicationName.isEmpty() && pass.Settings.BranderType.isEmpty());
        QCOMPARE(ReadLastNewsId(folder), QByteArray());
        WriteLastNewsId(folder, "99");
        QCOMPARE(ReadFile(SettingsPath()), file);
        QCOMPARE(FolderFiles(folder), QStringList{SettingsFileName});
    }

    void readOnlyFolder_stillReadWriteChangesNothing()
    {
        Install(Entry("ApplicationName", "Demo") + "<%%LastNewsId%%>3<%%/LastNewsId%%>\r\n");
        const QByteArray before = ReadFile(SettingsPath());
        UnwritableFolder lock(folder);
        if (!lock.Holds())
            QSKIP("cannot make a folder unwritable here (root without the immutable flag)");
        QCOMPARE(Load().Settings.ApplicationName, QByteArray("Demo"));
        QCOMPARE(ReadLastNewsId(folder), QByteArray("3"));
        WriteLastNewsId(folder, "4");
        QCOMPARE(ReadFile(SettingsPath()), before);
        QCOMPARE(FolderFiles(folder), QStringList{SettingsFileName});
    }

    // A full disk mid-write: the old file stays whole and no temporary is left.
    void writeFailsMidway_oldFileKeptWhole()
    {
        Install(Entry("AboutText", QByteArray(4000, 'a')) +
                "<%%LastNewsId%%>3<%%/LastNewsId%%>\r\n");
        const QByteArray before = ReadFile(SettingsPath());
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000; // files may not grow beyond this: writes fail
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        WriteLastNewsId(folder, "4");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(ReadFile(SettingsPath()), before);
        QCOMPARE(ReadLastNewsId(folder), QByteArray("3"));
        QCOMPARE(FolderFiles(folder), QStringList{SettingsFileName});
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
