// The user's settings and the installation's values, read once at start-up from the
// settings store and written back when a run ends (or the dialog is closed with OK).
// Field names and the 20- and 10-byte stored layouts are fixed; other code reads the
// globals Settings and SettingsEx directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

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

constexpr uint32_t kSettingsBytes = 20;
constexpr uint32_t kSettingsExBytes = 10;
constexpr size_t kSettingsStringCapacity = 256;  // 255 bytes and the terminating zero

extern SettingsRecord Settings;
extern SettingsExRecord SettingsEx;

// The store key: "software\quorvale\screensavers\" followed by the product name, once
// CompleteSettingsKeyPath has run (relative to HKEY_LOCAL_MACHINE).
extern char SettingsKeyPath[256];
// The byte right after the product name's terminating zero in the product name area: 36.
extern const uint8_t& productTrailer;
void CompleteSettingsKeyPath();  // idempotent

// The installation's strings, always zero-terminated, empty when absent. Values longer
// than 255 bytes are cut at a UTF-8 character boundary.
extern char musicName[kSettingsStringCapacity];  // "musicname": the music file's name
extern char titleName[kSettingsStringCapacity];  // "namerus": the dialog's caption
extern char homeLink[kSettingsStringCapacity];   // "link1=" of links.txt
// "dir": the installation folder; a relative value is resolved against the folder of the
// store file holding it, so it is an absolute path whenever one was found.
extern std::string installDir;

// The volume handed to the sound engine (music and samples alike), copied from
// Settings.volume by LoadSettings; the audio engine reads them when it starts.
extern int32_t MusicVolume;
extern int32_t SampleVolume;

// The record <-> stored bytes, field by field, little-endian.
void EncodeSettings(const SettingsRecord& settings, uint8_t out[kSettingsBytes]);
void DecodeSettings(const uint8_t in[kSettingsBytes], SettingsRecord* settings);
void DecodeSettingsEx(const uint8_t in[kSettingsExBytes], SettingsExRecord* settingsEx);
void SetDefaultSettings(SettingsRecord* settings);
void SetDefaultSettingsEx(SettingsExRecord* settingsEx);

// Reads everything from the store (defaults where a value is missing or of another
// size), makes installDir the current folder and reads homeLink from links.txt there;
// a missing links.txt ends the program with the loading error.
// The program's icon, made by the content generator into share/icons beside the
// installation's data: <prefix>/share/icons/hicolor/128x128/apps/quiet-highland.png.
std::string ProgramIconFile();

void LoadSettings();
// Writes the 20 bytes of Settings as "settings" into the user's store file.
void SaveSettings();

}  // namespace qh
