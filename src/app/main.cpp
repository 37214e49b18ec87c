#include "app/FMain.h"
#include "app/TApplication.h"
#include "platform/Platform.h"

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TfrmMain window(Endpoints::BuiltIn(), platform::ExecutableFolder());
    TApplication::SetErrorBox(window.msgMain);
    window.show();
    return app.exec();
}
