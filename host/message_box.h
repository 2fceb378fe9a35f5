// How the saver shows a message beyond stderr: SDL's message box, when a display exists.
#pragma once

namespace qh {

// Installs the message box as the way messages are shown (see core/fatal.h).
void InstallMessageBoxes();
// Tests and the capture tool (no display wanted) switch the message box off.
void SetMessageBoxesEnabled(bool enabled);

}  // namespace qh
