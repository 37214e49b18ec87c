#pragma once
// Answers modal dialogs from a test: each queued step gets the dialog, plays
// the user (types, clicks) and returns how the dialog ended. A dialog that
// is still open when its step returns counts as rejected, so a test can
// never hang on a modal window.

#include "base/FModal.h"

#include <QDialog>
#include <QList>
#include <QTest>
#include <functional>
#include <memory>

class ModalScript
{
public:
    using Step = std::function<void(QDialog &)>;

    ModalScript()
    {
        SetModalRunner([this](QDialog &dialog) {
            ++opened;
            if (steps.isEmpty()) {
                unexpected.append(dialog.objectName());
                return int(QDialog::Rejected);
            }
            const Step step = steps.takeFirst();
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            QTest::qWait(1);
            step(dialog);
            const int result = dialog.isVisible() ? int(QDialog::Rejected) : dialog.result();
            dialog.hide();
            return result;
        });
    }
    ~ModalScript() { SetModalRunner({}); }

    void then(Step step) { steps.append(std::move(step)); }

    QList<Step> steps;
    QStringList unexpected;
    int opened = 0;
};

template <typename T> T *child(QObject &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

// Saves a picture of a widget under the build folder's screenshots.
void SaveShot(QWidget &widget, const QString &name);

class TfrmMain;
class ScriptedMessageBox;
struct Endpoints;

// Points the user's runtime folder at one of this test program's own, before
// the program first asks for its private folder. OpenMainWindow does it.
void UseOwnPrivateRunFolder();

// Opens the real main window on a program folder (with its trailing
// separator), with msg answering every box; with reportErrors the general
// error handler's boxes too (undo it with TApplication::SetErrorBox(nullptr)).
// The start-up check is held back until a test runs it.
std::unique_ptr<TfrmMain> OpenMainWindow(const Endpoints &urls, const QString &programFolder,
                                         ScriptedMessageBox &msg, bool reportErrors = true);

// Clicks a column header of the keyword list, as the user does.
void ClickHeader(TfrmMain &window, int column);
