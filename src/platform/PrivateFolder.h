#pragma once
// A folder of this user's own for files that must not lie where other users
// can reach them.

#include <QString>

namespace platform {

// The user's runtime folder (XDG_RUNTIME_DIR when it is a folder of this user
// with owner-only rights; the local application data folder on Windows), or
// else a folder made for this run with owner-only rights and removed at exit.
// Chosen on first use and the same for the rest of the run; ends with a
// separator. Empty only when no such folder can be had.
QString PrivateRunFolder();

} // namespace platform

using platform::PrivateRunFolder;
