// The system's notice that it is about to suspend: logind's PrepareForSleep(true) on the
// system D-Bus, through GIO. It ends a run the way the window's suspend notice always has.
// While it listens the program holds logind's delay inhibitor for sleep, so the system
// waits (up to logind's InhibitDelayMaxSec) until the settings are saved and the inhibitor
// let go. Without a system bus (or without logind) nothing happens.
#pragma once

namespace qh {

// Subscribes to the notice and takes the delay inhibitor; quiet when there is no system bus
// or no logind. Idempotent: called before the content loads, so a suspend announced while
// it loads is seen by the first frame.
void ListenForSleep();
// Handles the D-Bus messages that have arrived, without waiting; true once the system has
// announced a suspend.
bool SleepAnnounced();
// Drops the subscription and the bus connection; the inhibitor stays held.
void StopListeningForSleep();
// Lets the inhibitor go: after the settings are saved, so the system sleeps with them on disk.
void ReleaseSleepDelay();

}  // namespace qh
