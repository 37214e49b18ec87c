// Prints the program folder as the program itself sees it.
#include "platform/Platform.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::fputs(platform::ExecutableFolder().toUtf8().constData(), stdout);
    return 0;
}
