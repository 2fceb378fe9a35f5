// Messages the user must see: on stderr always, and shown however the host has arranged
// (a message box when a display exists). The fatal form ends the process with exit code 1.
// Lower floors call these with the system's own texts; only the host decides how a
// message is presented.
#pragma once

namespace qh {

void ShowMessage(const char* caption, const char* text);
[[noreturn]] void FatalError(const char* caption, const char* text);

// How a message is shown beyond stderr; none (the default) means stderr only.
using MessagePresenter = void (*)(const char* caption, const char* text);
void SetMessagePresenter(MessagePresenter presenter);

}  // namespace qh
