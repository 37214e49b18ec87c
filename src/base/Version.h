#pragma once
#include <QByteArray>

// The program's version: caption, about box and update check.
inline const QByteArray AppVersion = QByteArrayLiteral("2.01");
