// The per-user sound lock: daemons start one saver per monitor, and only the process that
// holds this lock opens the audio device, so the sound plays once. The lock is an flock on
// a file in $XDG_RUNTIME_DIR (the user's config folder when that is unset); it goes with
// the process, so a crashed saver frees it.
#pragma once
#include <string>

namespace qh {

// The lock file: $XDG_RUNTIME_DIR/quiet-highland-sound.lock when XDG_RUNTIME_DIR is an
// absolute path, else quiet-highland/sound.lock in $XDG_CONFIG_HOME (or ~/.config).
std::string SoundLockPath();

// True when this process holds the lock, now or from an earlier call; false when another
// process holds it or the file cannot be made. Never waits. The lock is kept until the
// process ends (or ReleaseSoundLock).
bool TakeSoundLock();
void ReleaseSoundLock();

}  // namespace qh
