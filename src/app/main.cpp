#include "app/FMain.h"
#include "app/TApplication.h"
#include "journal/Journal.h"
#include "platform/Platform.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TfrmMain window(Endpoints::BuiltIn(), platform::ExecutableFolder());
    TApplication::SetErrorBox(window.msgMain);
    // The list is kept on disk unless the user turned that off, for good
    // (journal/enabled) or for this run (--no-journal).
    if (JournalEnabledSetting() && !app.arguments().contains(QStringLiteral("--no-journal")))
        window.StartJournal(DefaultJournalFolder());
    window.show();
    return app.exec();
}
