#include "ModalScript.h"

#include <QDir>
#include <QWidget>

void SaveShot(QWidget &widget, const QString &name)
{
    QString dir = qEnvironmentVariable("TARNWICK_SHOTS");
    if (dir.isEmpty())
        dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
