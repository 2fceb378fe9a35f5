// Messages the user must see: on stderr always, and in a message box when a display
// exists. The fatal form ends the process with exit code 1.
#pragma once

namespace qh {

void ShowMessage(const char* caption, const char* text);
[[noreturn]] void FatalError(const char* caption, const char* text);
// Tests and the capture tool (no display wanted) switch the message box off.
void SetMessageBoxesEnabled(bool enabled);

}  // namespace qh
