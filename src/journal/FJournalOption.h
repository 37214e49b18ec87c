#pragma once
// The journal's switch in the Options window: "Keep the list on disk".

#include <functional>

class TfrmOptions;

// Adds the check box, set as the user setting is; on Ok the setting is
// saved and changed(enabled) told when it changed.
std::function<void()> AddJournalOption(TfrmOptions &dialog,
                                       const std::function<void(bool)> &changed);
