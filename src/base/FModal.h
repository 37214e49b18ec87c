#pragma once
// The modal-dialog seam: every dialog of the program, Qt's file dialogs
// included, is run through RunModal. Tests install a runner that fills the
// dialog's fields and returns Accepted or Rejected.

#include <functional>

class QDialog;

using ModalRunner = std::function<int(QDialog &)>;

int RunModal(QDialog &dialog);
// Installs a runner; an empty one restores the real exec().
void SetModalRunner(ModalRunner runner);
