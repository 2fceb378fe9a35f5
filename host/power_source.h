// Whether the machine runs on battery: UPower's OnBattery on the system D-Bus, through GIO,
// followed while the saver runs (UPower coming, going and changing its mind). No system
// bus, no UPower, or no answer yet: mains.
#pragma once

namespace qh {

// Starts following; quiet when there is no system bus. Idempotent.
void FollowPowerSource();
// Handles the D-Bus messages that have arrived, without waiting, and says what UPower
// last said.
bool OnBattery();
// Drops the watch, the subscription and the bus connection.
void StopFollowingPowerSource();

}  // namespace qh
