#pragma once
// The message-box seam: every message of the main window and its commands
// goes through one IMessageBox. The window shows a real box; tests script one.

#include <QString>

enum class MsgType { Information, Warning };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class IMessageBox
{
public:
    virtual ~IMessageBox() = default;
    virtual MsgResult Show(const QString &text, MsgType type, MsgButtons buttons) = 0;

    // The forms the program uses.
    void Notice(const QString &text) { Show(text, MsgType::Information, MsgButtons::Ok); }
    bool Confirm(const QString &text)
    {
        return Show(text, MsgType::Information, MsgButtons::OkCancel) == MsgResult::Ok;
    }
    void Failure(const QString &text) { Show(text, MsgType::Warning, MsgButtons::Ok); }
    // A question answered Yes or No.
    bool Ask(const QString &text)
    {
        return Show(text, MsgType::Information, MsgButtons::YesNo) == MsgResult::Yes;
    }
};
