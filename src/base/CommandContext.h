#pragma once
// What a command takes from the window: the list, the client, the stop flag,
// the message box, the status bar, the user prompts and the service addresses.

#include "base/Endpoints.h"

class TKeywordList;
class THttpClient;
class TRunState;
class IMessageBox;
class IStatusBar;
class IUserPrompts;

struct TCommandContext
{
    TKeywordList &List;
    THttpClient &Http;
    TRunState &Run;
    IMessageBox &Msg;
    IStatusBar &Status;
    IUserPrompts &Prompts;
    Endpoints Urls;
};
