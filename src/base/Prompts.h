#pragma once
// Commands never open windows themselves. When they need the user they ask
// through this interface: the main window answers with the real dialogs,
// tests with a script.

#include <QByteArray>
#include <QString>
#include <optional>

struct CaptchaAnswer
{
    QByteArray Answer;      // text typed into edtPassword
    QByteArray RandomValue; // hidden values cut from the challenge page
    QByteArray SeedValue;
};

class IUserPrompts
{
public:
    virtual ~IUserPrompts() = default;
    // Shows the security image dialog for a challenge page; nullopt on Cancel.
    virtual std::optional<CaptchaAnswer> AskCaptcha(const QByteArray &pageHtml) = 0;
    // Search type dialog: 0 precise, 1 broad; nullopt on Cancel.
    virtual std::optional<int> AskSearchType() = 0;
    // Save dialog starting at startPath (a folder, or a full file name);
    // empty when cancelled.
    virtual QString AskSaveFileName(const QString &startPath) = 0;
};
