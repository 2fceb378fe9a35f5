// The settings dialog of Configure mode: every control of the dialog template at its
// place, filled from the Settings read at start-up; OK stores them at once, Cancel,
// Escape and the close box write nothing.
#pragma once
#include <gtk/gtk.h>

#include <cstddef>
#include <cstdint>

namespace qh {

// The template, in dialog units (x, y, width, height); a horizontal unit is a quarter of
// the dialog font's average character width, a vertical unit an eighth of its height.
struct DialogUnits {
  int32_t x, y, width, height;
};
constexpr DialogUnits kSettingsDialogSize{0, 0, 252, 199};

// The dialog's windows, in template order (which is also the keyboard's Tab order).
struct SettingsDialog {
  GtkWidget* window = nullptr;
  GtkWidget* okButton = nullptr;
  GtkWidget* cancelButton = nullptr;
  GtkWidget* delayLabel = nullptr;
  GtkWidget* settingsGroup = nullptr;
  GtkWidget* linkGroup = nullptr;
  GtkWidget* LinkControl = nullptr;
  GtkWidget* DelayList = nullptr;
  GtkWidget* VolumeSlider = nullptr;
  GtkWidget* volumeLabel = nullptr;
  GtkWidget* DayCycleBox = nullptr;
  GtkWidget* ClockBox = nullptr;
  GtkWidget* MusicBox = nullptr;
  GtkWidget* NatureBox = nullptr;
  GtkWidget* startLabel = nullptr;
  GtkWidget* StartSceneList = nullptr;
  int32_t baseUnitX = 0;  // the font's average character width, pixels
  int32_t baseUnitY = 0;  // the font's height, pixels
  bool closed = false;    // set by OK, Cancel, Escape and the close box
};

// The label of the start-scene list's entry `index` (from 0): the eight of the template,
// then on in the same form, "с N сцены".
void StartSceneLabel(int32_t index, char* out, size_t capacity);

// The dialog's picture: a JPEG of the current folder loaded with the fatal loader (a
// missing file ends the process with the loading error). A file that is no picture is
// reported on stderr and gives nullptr: the link control then shows its text.
cairo_surface_t* LoadPictureBitmap(const char* name);

// Builds the dialog (not yet shown) from Settings, SettingsEx, titleName and homeLink.
// GTK must have been started. The picture is not owned and must outlive the dialog.
void CreateSettingsDialog(SettingsDialog* dialog, cairo_surface_t* picture);
void SettingsDialogOk(SettingsDialog* dialog);      // reads the controls, saves, closes
void SettingsDialogCancel(SettingsDialog* dialog);  // closes; nothing is written

// Configure mode whole: the picture from installDir, GTK, the dialog (modal; transient for
// the X11 window parentWindow when it is not 0, else centred on the screen) until it is
// closed. 0 when it was shown and closed; 1 (with a message on stderr) when no display
// can be opened.
int RunSettingsDialog(unsigned long parentWindow);

}  // namespace qh
