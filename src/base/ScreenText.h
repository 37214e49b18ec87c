#pragma once
// Every text is kept as the bytes it came with; these turn bytes into what the
// screen shows and what the user types back into bytes. A text that is valid
// UTF-8 is shown as UTF-8, anything else as Windows-1252 (the code page of the
// services these pages come from). Typed text goes back as UTF-8.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

QString ToScreen(QByteArrayView bytes);
QByteArray FromScreen(const QString &text);
