#pragma once
// The settings file is kept encrypted beside the program under a fixed
// password; these turn it into a plain copy and back.

#include <QByteArray>
#include <QString>
#include <optional>

inline constexpr char SettingsPassword[] = "qzmvtrplok";
inline constexpr quint32 SettingsBufferSize = 0x40000;

// A whole encrypted file held in memory and its plain text; nullopt when the
// password check or the authentication code fails.
std::optional<QByteArray> DecryptSettingsBytes(const QByteArray &encrypted,
                                               const QByteArray &password = SettingsPassword);
// Header, cipher text and code for the plain text; nullopt only when the
// cipher cannot run.
std::optional<QByteArray> EncryptSettingsBytes(const QByteArray &plain,
                                               const QByteArray &password = SettingsPassword);

// True only when the password check and the authentication code both pass.
// The destination is created (replacing any file there) once the source is
// open, and receives the plain text only when the result is true; otherwise it
// is left empty, so unauthenticated bytes never reach it. False as well when
// the source cannot be opened or the destination cannot be created.
bool DecryptSettingsFile(const QString &sourcePath, const QString &destPath);

// Writes the destination all or nothing: on any failure (source unreadable,
// destination not writable) an existing destination file keeps its old
// content and the result is false.
bool EncryptSettingsFile(const QString &sourcePath, const QString &destPath);

// Replaces the file at path with the bytes, all or nothing: a short write (a
// full disk, a size limit) or a failed rename leaves any old file as it was
// and gives false. QSaveFile alone commits a file cut short when the final
// flush fails, so every byte count is checked here.
bool SaveFileWhole(const QString &path, const QByteArray &bytes);
