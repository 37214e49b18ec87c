// tarnwick-brand: lets a reseller turn a plain settings file into the
// encrypted dbsettings.dat the program reads, and back.

#include "settings/AesLib.h"
#include "settings/SettingsCipher.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <cstring>

namespace {

enum ExitCode {
    Ok = 0,
    Usage = 1,
    FileError = 2,
    WrongPassword = 3,
    Damaged = 4,
};

const char HelpText[] =
    "Usage: tarnwick-brand [--password P] COMMAND FILES\n"
    "\n"
    "Encrypts and decrypts the settings file (dbsettings.dat) that Tarnwick\n"
    "reads from its own folder.\n"
    "\n"
    "Commands:\n"
    "  encrypt PLAIN OUT   encrypt the plain settings text PLAIN into OUT\n"
    "  decrypt IN OUT      decrypt IN into OUT; OUT is written only when the\n"
    "                      password and the authentication code both check out\n"
    "  check IN            verify IN without writing anything\n"
    "\n"
    "Options:\n"
    "  --password P        use P instead of the program's own password\n"
    "                      (for files made under another password)\n"
    "  -h, --help          show this text\n"
    "\n"
    "Exit status: 0 done, 1 bad command line, 2 a file cannot be read or\n"
    "written, 3 wrong password, 4 damaged or not an encrypted file.\n";

int Fail(int code, const QString &message)
{
    std::fprintf(stderr, "tarnwick-brand: %s\n", qPrintable(message));
    return code;
}

bool ReadAll(const QString &path, QByteArray &data, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// All or nothing: a failed write leaves no file and keeps an older one.
bool WriteAll(const QString &path, const QByteArray &data, QString &error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}

int Encrypt(const QByteArray &password, const QString &plainPath, const QString &outPath)
{
    QString error;
    QByteArray plain;
    if (!ReadAll(plainPath, plain, error))
        return Fail(FileError, error);
    QBuffer source(&plain);
    source.open(QIODevice::ReadOnly);
    QByteArray encrypted;
    QBuffer dest(&encrypted);
    dest.open(QIODevice::WriteOnly);
    if (!TEncryption(password, SettingsBufferSize).EncryptStream(&source, &dest))
        return Fail(Usage, QStringLiteral("cannot encrypt with this password"));
    if (!WriteAll(outPath, encrypted, error))
        return Fail(FileError, error);
    return Ok;
}

// Decrypts to memory; without outPath it only verifies.
int Decrypt(const QByteArray &password, const QString &inPath, const QString *outPath)
{
    QString error;
    QByteArray encrypted;
    if (!ReadAll(inPath, encrypted, error))
        return Fail(FileError, error);

    const int mode = aes::ModeForPasswordLength(password.size());
    const int saltLength = aes::SaltLength(mode);
    if (encrypted.size() < aes::Overhead(mode))
        return Fail(Damaged,
                    QStringLiteral("%1 is too short to be an encrypted settings file").arg(inPath));

    // The stream only says "failed"; tell a wrong password from damage here.
    CipherContext probe;
    quint8 verifier[aes::PasswordVerifierLength];
    if (CipherInit(probe, mode, reinterpret_cast<const quint8 *>(password.constData()),
                   quint32(password.size()),
                   reinterpret_cast<const quint8 *>(encrypted.constData()), verifier) != 0)
        return Fail(
            Usage,
            QStringLiteral("the password is longer than %1 bytes").arg(aes::MaxPasswordLength));
    if (std::memcmp(verifier, encrypted.constData() + saltLength, sizeof verifier) != 0)
        return Fail(WrongPassword, QStringLiteral("wrong password for %1").arg(inPath));

    QBuffer source(&encrypted);
    source.open(QIODevice::ReadOnly);
    QByteArray plain;
    QBuffer dest(&plain);
    dest.open(QIODevice::WriteOnly);
    if (!TEncryption(password, SettingsBufferSize).DecryptStream(&source, &dest, encrypted.size()))
        return Fail(
            Damaged,
            QStringLiteral("%1 is damaged: its authentication code does not match").arg(inPath));
    if (outPath && !WriteAll(*outPath, plain, error))
        return Fail(FileError, error);
    return Ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this text."));
    const QCommandLineOption passwordOption(
        QStringLiteral("password"), QStringLiteral("Password to use."), QStringLiteral("P"));
    parser.addOption(help);
    parser.addOption(passwordOption);
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(Usage, parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return Ok;
    }

    const QByteArray password = parser.isSet(passwordOption)
                                    ? parser.value(passwordOption).toLocal8Bit()
                                    : QByteArray(SettingsPassword);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QLatin1String("encrypt") && args.size() == 3)
        return Encrypt(password, args[1], args[2]);
    if (command == QLatin1String("decrypt") && args.size() == 3)
        return Decrypt(password, args[1], &args[2]);
    if (command == QLatin1String("check") && args.size() == 2)
        return Decrypt(password, args[1], nullptr);
    if (command.isEmpty())
        return Fail(Usage, QStringLiteral("no command given (see --help)"));
    if (command == QLatin1String("encrypt") || command == QLatin1String("decrypt") ||
        command == QLatin1String("check"))
        return Fail(Usage,
                    QStringLiteral("wrong number of file names for %1 (see --help)").arg(command));
    return Fail(Usage, QStringLiteral("unknown command \"%1\" (see --help)").arg(command));
}
