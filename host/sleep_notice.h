// The system's notice that it is about to suspend: logind's PrepareForSleep(true) on the
// system D-Bus, through GIO. It ends a run the way the window's suspend notice always has.
// Without a system bus (or without logind) nothing happens.
#pragma once

namespace qh {

// Subscribes to the notice; quiet when there is no system bus. Idempotent.
void ListenForSleep();
// Handles the D-Bus messages that have arrived, without waiting; true once the system has
// announced a suspend.
bool SleepAnnounced();
// Drops the subscription and the bus connection.
void StopListeningForSleep();

}  // namespace qh
