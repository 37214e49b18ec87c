#pragma once
// A place of the user's own for files of the run that must not be shared
// with other users of the machine (the downloaded page, the update
// description), and a way to open a file there that never follows a link
// another user left.

#include <QString>

class QFile;

namespace platform {

// The user's runtime folder (XDG_RUNTIME_DIR, when it is a folder of this
// user that nobody else can enter) with a "tarnwick" folder inside it, or
// else a folder made for this run with owner-only rights, removed when the
// program ends. On Windows the user's local application data folder. Always
// without a trailing separator; empty only when no such folder can be made.
QString PrivateRunFolder();

// Opens path for writing, emptied, creating it with owner-only rights. A
// symbolic link, a file of another user, anything but a plain file or a
// file with several names is refused rather than followed. On failure
// *error (when given) says why.
bool OpenPrivateFileForWriting(QFile &file, const QString &path, QString *error = nullptr);

} // namespace platform

using platform::PrivateRunFolder;
