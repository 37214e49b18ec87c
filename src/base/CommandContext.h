#pragma once
// What a command takes from the window: the list, the client, the stop flag,
// the message box, the status bar, the user prompts, the service addresses,
// and the pacing and run progress of gathering runs.

#include "base/Endpoints.h"

class TKeywordList;
class THttpClient;
class TRunState;
class IMessageBox;
class IStatusBar;
class IUserPrompts;
class TPacing;
class IRunProgress;

struct TCommandContext
{
    TKeywordList &List;
    THttpClient &Http;
    TRunState &Run;
    IMessageBox &Msg;
    IStatusBar &Status;
    IUserPrompts &Prompts;
    Endpoints Urls;
    // Both optional: without a pacer requests go out back to back, as they
    // always did; without a progress panel nobody counts.
    TPacing *Pacing = nullptr;
    IRunProgress *Progress = nullptr;
};
