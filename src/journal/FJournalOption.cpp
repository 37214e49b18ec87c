#include "journal/FJournalOption.h"

#include "base/FOptions.h"
#include "journal/Journal.h"

#include <QCheckBox>
#include <QPointer>

std::function<void()> AddJournalOption(TfrmOptions &dialog,
                                       const std::function<void(bool)> &changed)
{
    auto *box =
        new QCheckBox(QStringLiteral("Keep the list on disk, to bring it back after a crash"));
    box->setObjectName(QStringLiteral("chkKeepList"));
    box->setToolTip(QStringLiteral("Turned on, it applies from the next start."));
    const bool was = JournalEnabledSetting();
    box->setChecked(was);
    dialog.AddListOption(box);
    QPointer<QCheckBox> guard(box);
    return [guard, was, changed] {
        if (!guard || guard->isChecked() == was)
            return;
        SetJournalEnabledSetting(guard->isChecked());
        if (changed)
            changed(guard->isChecked());
    };
}
