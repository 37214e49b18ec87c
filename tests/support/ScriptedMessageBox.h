#pragma once
// A message box that answers from a script and remembers what it was asked.

#include "base/MessageBox.h"

#include <QList>
#include <QStringList>

class ScriptedMessageBox : public IMessageBox
{
public:
    struct Shown
    {
        QString text;
        MsgType type;
        MsgButtons buttons;
    };

    QList<Shown> shown;
    QList<MsgResult> answers; // taken from the front; OK when empty

    MsgResult Show(const QString &text, MsgType type, MsgButtons buttons) override
    {
        shown.append({text, type, buttons});
        return answers.isEmpty() ? MsgResult::Ok : answers.takeFirst();
    }
    QStringList texts() const
    {
        QStringList t;
        for (const Shown &s : shown)
            t.append(s.text);
        return t;
    }
    void clear()
    {
        shown.clear();
        answers.clear();
    }
};
