#include "base/FModal.h"

#include <QDialog>

namespace {
ModalRunner &runner()
{
    static ModalRunner r;
    return r;
}
} // namespace

int RunModal(QDialog &dialog)
{
    if (runner())
        return runner()(dialog);
    return dialog.exec();
}

void SetModalRunner(ModalRunner r)
{
    runner() = std::move(r);
}
