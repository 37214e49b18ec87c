#pragma once
// The Options window: pacing of the gathering runs, the proxy and the
// time-outs. Reads and fills a TUserOptions; saving and applying is done by
// EditUserOptions.

#include "base/UserOptions.h"

#include <QDialog>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

class TfrmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmOptions(const TUserOptions &options, QWidget *parent = nullptr);

    TUserOptions Options() const;
    void SetOptions(const TUserOptions &options);
    void SetPacing(const TPacingOptions &pacing);

    // Switches of other parts of the program (the list's own options) go
    // here; the group shows once it holds one.
    void AddListOption(QWidget *option);

    // Pacing
    QSpinBox *spnMinDelay, *spnMaxDelay, *spnPauseLength, *spnPauseEvery, *spnRetries,
        *spnBackoffStart, *spnBackoffCap;
    QPushButton *btnPolite, *btnPacingOff;
    // Proxy
    QComboBox *cmbProxy;
    QLineEdit *edtProxyHost, *edtProxyUser, *edtProxyPassword;
    QSpinBox *spnProxyPort;
    QCheckBox *chkRememberPassword;
    QLabel *lblPasswordNote;
    // Time-outs
    QSpinBox *spnConnectTimeout, *spnReadTimeout;
    // List
    QGroupBox *grpList;
    QVBoxLayout *layList;
    QPushButton *btnOk, *btnCancel;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void UpdateProxyFields();
    QWidget *BuildPacing();
    QWidget *BuildProxy();
    QWidget *BuildTimeouts();
};

class QToolButton;
class TOptionsStore;
class THttpClient;
class TPacer;

// A switch of another part of the program: it adds itself to the window
// before it shows and returns what to do when the user presses Ok.
using TOptionsPart = std::function<std::function<void()>(TfrmOptions &)>;

// Opens the Options window modally; on Ok saves the options and gives them
// to the client and the pacer. True when the user pressed Ok.
bool EditUserOptions(TOptionsStore &store, THttpClient &http, TPacer &pacer,
                     QWidget *parent = nullptr, const std::vector<TOptionsPart> &parts = {});

// The small gear button that opens the window, sized as the button bar's
// other icon buttons.
QToolButton *OptionsButton();
