// How the saver shows a message beyond stderr: SDL's message box, when a display exists.
#pragma once
#include <csignal>

namespace qh {

// Installs the message box as the way messages are shown (see core/fatal.h).
void InstallMessageBoxes();
// Tests and the capture tool (no display wanted) switch the message box off.
void SetMessageBoxesEnabled(bool enabled);

// Nonzero while a message box is on screen. SDL shows the box from a process of its own
// and waits for it without letting a signal through, so the quit signal handler ends the
// program itself then (exit code 1); the box's process dies with the program, however the
// program ends.
extern volatile sig_atomic_t MessageBoxOnScreen;

}  // namespace qh
