// tarnwick-brand: lets a reseller turn a plain settings file into the
// encrypted dbsettings.dat the program reads, and back, and explains what the
// program will make of it.

#include "SettingsCheck.h"
#include "settings/AesLib.h"
#include "settings/SettingsCipher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

enum ExitCode {
    Ok = 0,
    Usage = 1,
    FileError = 2,
    WrongPassword = 3,
    Damaged = 4,
    Warnings = 5,
};

const char HelpText[] =
    "Usage: tarnwick-brand [--password P | --password-hex HEX] COMMAND FILES\n"
    "\n"
    "Makes, reads and checks the settings file (dbsettings.dat) that Tarnwick\n"
    "reads from its own folder.\n"
    "\n"
    "Commands:\n"
    "  template            print a complete, commented example settings text\n"
    "  encrypt PLAIN OUT   encrypt the plain settings text PLAIN into OUT\n"
    "  decrypt IN OUT      decrypt IN into OUT; OUT is written only when the\n"
    "                      password and the authentication code both check out\n"
    "  check FILE          FILE is an encrypted settings file or a plain text:\n"
    "                      list the entries the program reads, in its order, and\n"
    "                      warn about everything it would read as empty or ignore\n"
    "\n"
    "Options:\n"
    "  --password P        use P (its exact bytes) instead of the program's own\n"
    "                      password, for files made under another password\n"
    "  --password-hex HEX  the same, the password given as hexadecimal bytes\n"
    "  -h, --help          show this text\n"
    "\n"
    "Exit status: 0 done, 1 bad command line, 2 a file cannot be read or\n"
    "written, 3 wrong password, or not an encrypted settings file, 4 damaged,\n"
    "5 check found something to warn about, or a plain text named\n"
    "dbsettings.dat.\n";

int Fail(int code, const QString &message)
{
    std::fprintf(stderr, "tarnwick-brand: %s\n", qPrintable(message));
    return code;
}

void PrintLine(FILE *stream, const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fputc('\n', stream);
}

// Reads the whole input; checks the password's length first.
int ReadInput(const QByteArray &password, const QString &path, QByteArray &bytes)
{
    if (password.size() > aes::MaxPasswordLength)
        return Fail(
            Usage,
            QStringLiteral("the password is longer than %1 bytes").arg(aes::MaxPasswordLength));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(FileError, QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
    bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Fail(FileError, QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
    return Ok;
}

// Nothing appears under the name (and an older file stays) unless every byte
// is written. Each count is checked: QSaveFile by itself commits a file cut
// short when its final flush fails.
int Save(const QString &path, const QByteArray &bytes)
{
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.flush() &&
        out.error() == QFileDevice::NoError && out.commit())
        return Ok;
    const QString reason = out.errorString();
    out.cancelWriting();
    return Fail(FileError, QStringLiteral("cannot write %1: %2").arg(path, reason));
}

int Encrypt(const QByteArray &password, const QString &plainPath, const QString &outPath)
{
    QByteArray plain;
    if (const int status = ReadInput(password, plainPath, plain); status != Ok)
        return status;
    const std::optional<QByteArray> encrypted = EncryptSettingsBytes(plain, password);
    if (!encrypted)
        return Fail(FileError, QStringLiteral("cannot encrypt %1").arg(plainPath));
    return Save(outPath, *encrypted);
}

enum class Decryption { Ok, TooShort, WrongPassword, Damaged };

Decryption DecryptBytes(const QByteArray &password, const QByteArray &encrypted, QByteArray &plain)
{
    const int mode = aes::ModeForPasswordLength(password.size());
    const int saltLength = aes::SaltLength(mode);
    if (encrypted.size() < aes::Overhead(mode))
        return Decryption::TooShort;

    // The stream only says "failed"; tell a wrong password from damage here.
    CipherContext probe;
    quint8 verifier[aes::PasswordVerifierLength];
    CipherInit(probe, mode, reinterpret_cast<const quint8 *>(password.constData()),
               quint32(password.size()), reinterpret_cast<const quint8 *>(encrypted.constData()),
               verifier);
    if (std::memcmp(verifier, encrypted.constData() + saltLength, sizeof verifier) != 0)
        return Decryption::WrongPassword;

    std::optional<QByteArray> result = DecryptSettingsBytes(encrypted, password);
    if (!result)
        return Decryption::Damaged;
    plain = std::move(*result);
    return Decryption::Ok;
}

int DecryptFailure(Decryption result, const QString &path)
{
    switch (result) {
    case Decryption::TooShort:
        return Fail(Damaged,
                    QStringLiteral("%1 is too short to be an encrypted settings file").arg(path));
    case Decryption::WrongPassword:
        return Fail(
            WrongPassword,
            QStringLiteral("%1: wrong password, or not an encrypted settings file").arg(path));
    default:
        return Fail(
            Damaged,
            QStringLiteral("%1 is damaged: its authentication code does not match").arg(path));
    }
}

int Decrypt(const QByteArray &password, const QString &inPath, const QString &outPath)
{
    QByteArray encrypted, plain;
    if (const int status = ReadInput(password, inPath, encrypted); status != Ok)
        return status;
    if (const Decryption result = DecryptBytes(password, encrypted, plain);
        result != Decryption::Ok)
        return DecryptFailure(result, inPath);
    return Save(outPath, plain);
}

int Check(const QByteArray &password, const QString &path)
{
    QByteArray bytes, plain;
    if (password.size() > aes::MaxPasswordLength)
        return ReadInput(password, path, bytes);
    {
        QFile in(path);
        bool read = in.open(QIODevice::ReadOnly);
        if (read) {
            bytes = in.readAll();
            read = in.error() == QFileDevice::NoError;
        }
        if (!read)
            return Fail(FileError, QStringLiteral("cannot read %1: %2; the program takes a "
                                                  "settings file it cannot read as missing "
                                                  "(its designed look, every setting empty)")
                                       .arg(path, in.errorString()));
    }
    // The encrypted format's header decides: a file whose password check
    // passes is an encrypted one, damaged or not. Anything else is taken as
    // plain text when it holds an entry marker at all.
    QByteArray kind = "encrypted settings file";
    bool plainText = false;
    if (const Decryption result = DecryptBytes(password, bytes, plain); result != Decryption::Ok) {
        if (result == Decryption::Damaged || !bytes.contains("<%%"))
            return DecryptFailure(result, path);
        kind = "plain settings text";
        plain = bytes;
        plainText = true;
    }

    const TSettingsReport report = CheckSettingsText(plain, QFileInfo(path).absolutePath());
    PrintLine(stdout, QFile::encodeName(path) + ": " + kind + ", " +
                          QByteArray::number(plain.size()) + " bytes of text");
    for (const QByteArray &line : report.Listing)
        PrintLine(stdout, "  " + line);
    std::fflush(stdout);
    // The program reads its settings file only encrypted.
    const bool plainAsSettings =
        plainText && QFileInfo(path).fileName().compare(QLatin1String("dbsettings.dat"),
                                                        Qt::CaseInsensitive) == 0;
    if (plainAsSettings)
        PrintLine(stderr, "error: " + QFile::encodeName(path) +
                              " is plain text, but the program reads dbsettings.dat only "
                              "encrypted: it would take this file as one that fails its check "
                              "(every setting empty, no News button, no banner, no links); "
                              "make it with: tarnwick-brand encrypt PLAIN dbsettings.dat");
    for (const QByteArray &warning : report.Warnings)
        PrintLine(stderr, "warning: " + warning);
    if (report.Warnings.isEmpty() && !plainAsSettings) {
        PrintLine(stdout, "no warnings");
        return Ok;
    }
    if (!report.Warnings.isEmpty())
        PrintLine(stderr, QByteArray::number(report.Warnings.size()) +
                              (report.Warnings.size() == 1 ? " warning" : " warnings"));
    return Warnings;
}

// The option's value exactly as the shell passed it: the parser's strings
// have been through the locale's decoding, which replaces bytes that are not
// valid text. The last one given counts, as with the parser.
std::optional<QByteArray> RawOptionValue(const QList<QByteArray> &args, const QByteArray &name,
                                         const QList<QByteArray> &otherValued)
{
    std::optional<QByteArray> value;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QByteArray &arg = args[i];
        if (arg == "--")
            break;
        if (arg == name && i + 1 < args.size())
            value = args[++i];
        else if (arg.startsWith(name + '='))
            value = arg.mid(name.size() + 1);
        else if (otherValued.contains(arg))
            ++i;
    }
    return value;
}

void QuietQt(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tarnwick-brand: %s\n", qPrintable(message));
}

std::optional<QByteArray> FromHex(const QString &hex)
{
    if (hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), [](QChar c) {
            return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= 'f');
        }))
        return std::nullopt;
    return QByteArray::fromHex(hex.toLatin1());
}

} // namespace

int main(int argc, char *argv[])
{
    QList<QByteArray> rawArgs;
    for (int i = 0; i < argc; ++i)
        rawArgs.append(QByteArray(argv[i]));

    // Pictures and skins are read with the program's own code, which needs
    // a GUI application; it never shows a window, and the application's own
    // chatter (no runtime folder, fonts) is not for the reseller.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQt);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this text."));
    const QCommandLineOption passwordOption(
        QStringLiteral("password"), QStringLiteral("Password to use."), QStringLiteral("P"));
    const QCommandLineOption passwordHexOption(QStringLiteral("password-hex"),
                                               QStringLiteral("Password as hexadecimal bytes."),
                                               QStringLiteral("HEX"));
    parser.addOption(help);
    parser.addOption(passwordOption);
    parser.addOption(passwordHexOption);
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(Usage, parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return Ok;
    }

    QByteArray password(SettingsPassword);
    if (parser.isSet(passwordOption) && parser.isSet(passwordHexOption))
        return Fail(Usage, QStringLiteral("give either --password or --password-hex"));
    if (parser.isSet(passwordOption))
        password = RawOptionValue(rawArgs, "--password", {"--password-hex"})
                       .value_or(parser.value(passwordOption).toUtf8());
    if (parser.isSet(passwordHexOption)) {
        const std::optional<QByteArray> bytes = FromHex(parser.value(passwordHexOption));
        if (!bytes)
            return Fail(Usage, QStringLiteral("--password-hex needs an even number of "
                                              "hexadecimal digits"));
        password = *bytes;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QLatin1String("template") && args.size() == 1) {
        const QByteArray text = SettingsTemplate();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return Ok;
    }
    if (command == QLatin1String("encrypt") && args.size() == 3)
        return Encrypt(password, args[1], args[2]);
    if (command == QLatin1String("decrypt") && args.size() == 3)
        return Decrypt(password, args[1], args[2]);
    if (command == QLatin1String("check") && args.size() == 2)
        return Check(password, args[1]);
    if (command.isEmpty())
        return Fail(Usage, QStringLiteral("no command given (see --help)"));
    if (command == QLatin1String("encrypt") || command == QLatin1String("decrypt") ||
        command == QLatin1String("check") || command == QLatin1String("template"))
        return Fail(Usage,
                    QStringLiteral("wrong number of file names for %1 (see --help)").arg(command));
    return Fail(Usage, QStringLiteral("unknown command \"%1\" (see --help)").arg(command));
}
