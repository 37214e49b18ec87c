#pragma once
#include <QApplication>
#include <QIcon>

class IMessageBox;

// The application object. Its notify() is the general error handler: an
// exception that no command caught is shown in a message box and the program
// goes on running.
class TApplication : public QApplication
{
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Where errors are shown; the main window registers its message box.
    static void SetErrorBox(IMessageBox *box);
    static void ReportError(const QString &text);
};

// The program's own icon, drawn for this program, in the sizes it ships.
QIcon BuiltInIcon();

// Installs the built-in skin as the application's style sheet.
void ApplyBuiltInSkin();
