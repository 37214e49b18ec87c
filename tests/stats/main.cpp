// One program for the statistics tests: Gather Data, Save Results and the
// whole keyword cycle end to end.

#include "app/TApplication.h"

int RunGatherTests(int argc, char **argv);
int RunCsvTests(int argc, char **argv);
int RunEndToEndTests(int argc, char **argv);

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    // Tests close main windows; that must not end the application's loops.
    app.setQuitOnLastWindowClosed(false);
    int failed = 0;
    failed += RunGatherTests(argc, argv);
    failed += RunCsvTests(argc, argv);
    failed += RunEndToEndTests(argc, argv);
    return failed;
}
