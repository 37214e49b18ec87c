#include "base/ErrorReport.h"

#include "base/ScreenText.h"

#include <QtGlobal>

namespace {
std::function<void(const QString &)> &sink()
{
    static std::function<void(const QString &)> s;
    return s;
}
} // namespace

void SetUnhandledErrorSink(std::function<void(const QString &)> s)
{
    sink() = std::move(s);
}

void ReportUnhandledError(const QString &text)
{
    if (sink())
        sink()(text);
    else
        qWarning("%s", qUtf8Printable(text));
}

void ReportCurrentException()
{
    try {
        throw;
    } catch (const std::exception &e) {
        ReportUnhandledError(ToScreen(QByteArray(e.what())));
    } catch (...) {
        ReportUnhandledError(QStringLiteral("An unexpected error occurred."));
    }
}
