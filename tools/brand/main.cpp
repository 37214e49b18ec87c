// tarnwick-brand: lets a reseller turn a plain settings file into the
// encrypted dbsettings.dat the program reads, and back.

#include "settings/AesLib.h"
#include "settings/SettingsCipher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
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

bool OpenInput(QFile &file, QString &error)
{
    if (file.open(QIODevice::ReadOnly))
        return true;
    error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
    return false;
}

// Output goes through QSaveFile: nothing appears under the name (and an older
// file stays) unless the whole operation succeeds.
bool OpenOutput(QSaveFile &file, QString &error)
{
    if (file.open(QIODevice::WriteOnly))
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
    return false;
}

int WriteFailure(QSaveFile &out)
{
    const QString reason = out.errorString();
    out.cancelWriting();
    return Fail(FileError, QStringLiteral("cannot write %1: %2").arg(out.fileName(), reason));
}

// Opens the input and checks the password; Ok or the failure's exit status.
int OpenWithPassword(const QByteArray &password, QFile &in)
{
    QString error;
    if (!OpenInput(in, error))
        return Fail(FileError, error);
    if (password.size() > aes::MaxPasswordLength)
        return Fail(
            Usage,
            QStringLiteral("the password is longer than %1 bytes").arg(aes::MaxPasswordLength));
    return Ok;
}

int Encrypt(const QByteArray &password, const QString &plainPath, const QString &outPath)
{
    QFile in(plainPath);
    if (const int status = OpenWithPassword(password, in); status != Ok)
        return status;
    QString error;
    QSaveFile out(outPath);
    if (!OpenOutput(out, error))
        return Fail(FileError, error);
    if (!TEncryption(password, SettingsBufferSize).EncryptStream(&in, &out)) {
        if (in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return Fail(FileError,
                        QStringLiteral("cannot read %1: %2").arg(plainPath, in.errorString()));
        }
        return WriteFailure(out);
    }
    if (!out.commit())
        return Fail(FileError,
                    QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString()));
    return Ok;
}

// Without outPath it only verifies.
int Decrypt(const QByteArray &password, const QString &inPath, const QString *outPath)
{
    QFile in(inPath);
    if (const int status = OpenWithPassword(password, in); status != Ok)
        return status;
    QString error;

    const int mode = aes::ModeForPasswordLength(password.size());
    const int saltLength = aes::SaltLength(mode);
    if (in.size() < aes::Overhead(mode))
        return Fail(Damaged,
                    QStringLiteral("%1 is too short to be an encrypted settings file").arg(inPath));

    // The stream only says "failed"; tell a wrong password from damage here.
    const QByteArray header = in.peek(saltLength + aes::PasswordVerifierLength);
    if (header.size() != saltLength + aes::PasswordVerifierLength)
        return Fail(FileError, QStringLiteral("cannot read %1: %2").arg(inPath, in.errorString()));
    CipherContext probe;
    quint8 verifier[aes::PasswordVerifierLength];
    CipherInit(probe, mode, reinterpret_cast<const quint8 *>(password.constData()),
               quint32(password.size()), reinterpret_cast<const quint8 *>(header.constData()),
               verifier);
    if (std::memcmp(verifier, header.constData() + saltLength, sizeof verifier) != 0)
        return Fail(WrongPassword, QStringLiteral("wrong password for %1").arg(inPath));

    std::optional<QSaveFile> out;
    if (outPath) {
        out.emplace(*outPath);
        if (!OpenOutput(*out, error))
            return Fail(FileError, error);
    }
    if (!TEncryption(password, SettingsBufferSize)
             .DecryptStream(&in, out ? &*out : nullptr, in.size())) {
        if (out && out->error() != QFileDevice::NoError)
            return WriteFailure(*out);
        if (out)
            out->cancelWriting();
        if (in.error() != QFileDevice::NoError)
            return Fail(FileError,
                        QStringLiteral("cannot read %1: %2").arg(inPath, in.errorString()));
        return Fail(
            Damaged,
            QStringLiteral("%1 is damaged: its authentication code does not match").arg(inPath));
    }
    if (out && !out->commit())
        return Fail(FileError,
                    QStringLiteral("cannot write %1: %2").arg(*outPath, out->errorString()));
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
