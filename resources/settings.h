// The user's settings and the installation's values, read once at start-up from the
// settings store and written back when a run ends (or the dialog is closed with OK).
// Field names and the 20- and 10-byte stored layouts are fixed; other code reads the
// globals Settings and SettingsEx directly.
#pragma once
#include <cstdint>

namespace qh {

struct SettingsRecord {         // stored as "settings", exactly 20 bytes, little-endian
  int32_t sceneDelayChoice = 0; // 0..6, index into the scene-delay list
  int32_t volume = 0;           // 0..100
  uint8_t dayCycle = 0;
  uint8_t showClock = 0;
  uint8_t reserved1[2] = {};    // written back as read
  int32_t startScene = 0;
  uint8_t musicOn = 0;
  uint8_t natureSounds = 0;
  uint8_t reserved2[2] = {};
};

struct SettingsExRecord {       // stored as "settingsex", exactly 10 bytes; never written
  uint8_t sceneCount = 0;
  uint8_t musicStartOrder = 0;
  uint8_t ambientKind[8] = {};  // per scene 0..7: 0 none, 1 birds, 2 brook, 3 waterfall
};

extern SettingsRecord Settings;
extern SettingsExRecord SettingsEx;

}  // namespace qh
