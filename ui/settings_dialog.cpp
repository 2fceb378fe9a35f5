// The settings dialog in GTK 3: the template's controls on a fixed grid of dialog units,
// so its proportions stay those of the template at any font, and the template's Tab order.
#include "ui/settings_dialog.h"

#include <gdk/gdkx.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "resources/file_table.h"
#include "resources/image_decode.h"
#include "resources/settings.h"
#include "ui/hyperlink.h"

namespace qh {

namespace {

constexpr const char* kDelayLabels[7] = {"30 секунд", "1 минута", "2 минуты",       "3 минуты",
                                         "5 минут",   "10 минут", "не менять сцену"};

// Buttons and lists as compact as a classic dialog's, so every control keeps the size
// the template gives it.
constexpr const char* kDialogStyle =
    "window.qh-settings button { min-height: 0; min-width: 0; padding: 1px 6px; }"
    "window.qh-settings combobox button { padding: 0 4px; }"
    "window.qh-settings scale { padding: 0; }"
    "window.qh-settings checkbutton { padding-top: 0; padding-bottom: 0; min-height: 0; }";

int32_t HorizontalPixels(const SettingsDialog& dialog, int32_t units) { return (units * dialog.baseUnitX + 2) / 4; }
int32_t VerticalPixels(const SettingsDialog& dialog, int32_t units) { return (units * dialog.baseUnitY + 4) / 8; }

void Place(SettingsDialog* dialog, GtkWidget* fixed, GtkWidget* widget, DialogUnits at) {
  gtk_widget_set_size_request(widget, HorizontalPixels(*dialog, at.width), VerticalPixels(*dialog, at.height));
  gtk_fixed_put(GTK_FIXED(fixed), widget, HorizontalPixels(*dialog, at.x), VerticalPixels(*dialog, at.y));
}

// The dialog font's base units, measured the classic way: the average width of the 52
// Latin letters, rounded, and the font's full height.
void MeasureBaseUnits(SettingsDialog* dialog) {
  PangoLayout* layout =
      gtk_widget_create_pango_layout(dialog->window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = 0;
  pango_layout_get_pixel_size(layout, &width, nullptr);
  g_object_unref(layout);
  PangoContext* context = gtk_widget_get_pango_context(dialog->window);
  PangoFontMetrics* metrics = pango_context_get_metrics(context, nullptr, nullptr);
  const int height = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
  pango_font_metrics_unref(metrics);
  dialog->baseUnitX = width > 0 ? (width / 26 + 1) / 2 : 6;
  dialog->baseUnitY = height > 0 ? height : 13;
}

GtkWidget* StaticText(const char* text) {
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  return label;
}

// A check box with its text on the left and the box at the right end of its area.
GtkWidget* LeftTextCheckBox(const char* text) {
  GtkWidget* box = gtk_check_button_new_with_label(text);
  gtk_widget_set_direction(box, GTK_TEXT_DIR_RTL);
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(box));
  gtk_widget_set_direction(label, GTK_TEXT_DIR_LTR);  // the text itself still reads left to right
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_widget_set_hexpand(label, TRUE);
  return box;
}

GtkWidget* DropDownList() {
  GtkWidget* list = gtk_combo_box_text_new();
  // Entries longer than the list's width are cut with an ellipsis instead of widening it.
  GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
  for (GList* cell = cells; cell != nullptr; cell = cell->next) {
    g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
  }
  g_list_free(cells);
  return list;
}

void SelectOrNone(GtkWidget* list, int32_t index, int32_t entries) {
  gtk_combo_box_set_active(GTK_COMBO_BOX(list), index >= 0 && index < entries ? index : -1);
}

int32_t SelectedOrZero(GtkWidget* list) {
  const int32_t index = gtk_combo_box_get_active(GTK_COMBO_BOX(list));
  return index >= 0 ? index : 0;  // no selection: the first entry, which both lists have
}

uint8_t Ticked(GtkWidget* box) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(box)) ? 1 : 0; }

// Tab and Shift+Tab go through the controls in template order; arrow keys keep GTK's way.
gboolean FocusInTemplateOrder(GtkWidget* fixed, GtkDirectionType direction, gpointer data) {
  if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
  const auto* dialog = static_cast<const SettingsDialog*>(data);
  GtkWidget* const chain[] = {dialog->okButton,    dialog->cancelButton, dialog->LinkControl, dialog->DelayList,
                              dialog->VolumeSlider, dialog->DayCycleBox,  dialog->ClockBox,    dialog->MusicBox,
                              dialog->NatureBox,   dialog->StartSceneList};
  constexpr int kCount = sizeof chain / sizeof chain[0];
  const int step = direction == GTK_DIR_TAB_FORWARD ? 1 : -1;
  GtkWidget* current = gtk_window_get_focus(GTK_WINDOW(gtk_widget_get_toplevel(fixed)));
  int at = -1;
  for (int i = 0; i < kCount && current != nullptr; ++i) {
    if (chain[i] == current || gtk_widget_is_ancestor(current, chain[i])) at = i;
  }
  int next = at < 0 ? (step > 0 ? 0 : kCount - 1) : at + step;
  for (; next >= 0 && next < kCount; next += step) {
    if (gtk_widget_child_focus(chain[next], direction)) return TRUE;
  }
  // Past the last control: the window wraps round to the first.
  g_signal_stop_emission_by_name(fixed, "focus");
  return FALSE;
}

void OkClicked(GtkButton* /*button*/, gpointer data) { SettingsDialogOk(static_cast<SettingsDialog*>(data)); }
void CancelClicked(GtkButton* /*button*/, gpointer data) { SettingsDialogCancel(static_cast<SettingsDialog*>(data)); }

gboolean CloseBox(GtkWidget* /*window*/, GdkEvent* /*event*/, gpointer data) {
  SettingsDialogCancel(static_cast<SettingsDialog*>(data));
  return TRUE;
}

bool IsReturnKey(guint keyval) {
  return keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter;
}

// The window sees a key before its focused control does. Escape is Cancel; Return is OK
// from every control (the picture link, which Space opens, and a closed drop-down list,
// which would open its list, included), as in a dialog, except on the Cancel button, which
// it presses. An open list has its own window and keys: there Return picks the entry.
gboolean DialogKey(GtkWidget* window, GdkEventKey* event, gpointer data) {
  auto* dialog = static_cast<SettingsDialog*>(data);
  if (event->keyval == GDK_KEY_Escape) {
    SettingsDialogCancel(dialog);
    return TRUE;
  }
  if (!IsReturnKey(event->keyval)) return FALSE;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
  if (focus != nullptr && (focus == dialog->cancelButton || gtk_widget_is_ancestor(focus, dialog->cancelButton))) {
    return FALSE;
  }
  SettingsDialogOk(dialog);
  return TRUE;
}

void ApplyDialogStyle() {
  static bool applied = false;
  if (applied) return;
  applied = true;
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kDialogStyle, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

// Transient for the host's window and centred over it; without one, centred on the screen.
void PlaceDialog(SettingsDialog* dialog, unsigned long parentWindow) {
  gtk_window_set_position(GTK_WINDOW(dialog->window), GTK_WIN_POS_CENTER);
  GdkDisplay* display = gtk_widget_get_display(dialog->window);
  if (parentWindow == 0) return;
  if (!GDK_IS_X11_DISPLAY(display)) {
    std::fprintf(stderr, "Quiet Highland: window %lu is an X11 window and the dialog is not on X11; "
                 "the settings dialog opens on its own.\n", parentWindow);
    return;
  }
  GdkWindow* parent = gdk_x11_window_foreign_new_for_display(display, parentWindow);
  if (parent == nullptr) {
    std::fprintf(stderr, "Quiet Highland: window %lu is gone; the settings dialog opens on its own.\n", parentWindow);
    return;
  }
  gtk_widget_realize(dialog->window);
  gdk_window_set_transient_for(gtk_widget_get_window(dialog->window), parent);
  int x = 0;
  int y = 0;
  gdk_window_get_origin(parent, &x, &y);
  const int parentWidth = gdk_window_get_width(parent);
  const int parentHeight = gdk_window_get_height(parent);
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(dialog->window), &width, &height);
  gtk_window_set_position(GTK_WINDOW(dialog->window), GTK_WIN_POS_NONE);
  gtk_window_move(GTK_WINDOW(dialog->window), x + (parentWidth - width) / 2, y + (parentHeight - height) / 2);
  g_object_unref(parent);
}

}  // namespace

void StartSceneLabel(int32_t index, char* out, size_t capacity) {
  std::snprintf(out, capacity, index == 1 ? "со %d сцены" : "с %d сцены", index + 1);
}

cairo_surface_t* LoadPictureBitmap(const char* name) {
  int32_t size = 0;
  uint8_t* bytes = LoadFile(name, &size, true);
  DecodedPicture picture;
  const bool decoded = DecodePicture(bytes, static_cast<size_t>(size), &picture);
  ReleaseFile(bytes);
  if (!decoded) {
    std::fprintf(stderr, "Quiet Highland: %s is not a picture that can be shown; the link shows its address.\n",
                 name);
    return nullptr;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "Quiet Highland: no memory for the picture %s.\n", name);
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* pixels = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int32_t y = 0; y < picture.height; ++y) {
    // Both hold 0x..RRGGBB in native byte order; cairo ignores the top byte of RGB24.
    std::memcpy(pixels + static_cast<size_t>(y) * stride, picture.pixels.data() + static_cast<size_t>(y) * picture.width,
                static_cast<size_t>(picture.width) * 4);
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

void CreateSettingsDialog(SettingsDialog* dialog, cairo_surface_t* picture) {
  ApplyDialogStyle();
  dialog->closed = false;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  dialog->window = window;
  gtk_style_context_add_class(gtk_widget_get_style_context(window), "qh-settings");
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_modal(GTK_WINDOW(window), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  // The program's icon when the installation has it; a dialog without it is no failure.
  const std::string icon = ProgramIconFile();
  if (!icon.empty()) gtk_window_set_icon_from_file(GTK_WINDOW(window), icon.c_str(), nullptr);
  std::string caption = std::string(titleName) + " - Параметры";
  gchar* validCaption = g_utf8_make_valid(caption.c_str(), -1);
  gtk_window_set_title(GTK_WINDOW(window), validCaption);
  g_free(validCaption);
  MeasureBaseUnits(dialog);

  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, HorizontalPixels(*dialog, kSettingsDialogSize.width),
                              VerticalPixels(*dialog, kSettingsDialogSize.height));
  gtk_container_add(GTK_CONTAINER(window), fixed);

  dialog->okButton = gtk_button_new_with_label("OK");
  Place(dialog, fixed, dialog->okButton, {198, 8, 50, 14});
  dialog->cancelButton = gtk_button_new_with_label("Отмена");
  Place(dialog, fixed, dialog->cancelButton, {198, 25, 50, 14});
  dialog->delayLabel = StaticText("Задержка между сценами:");
  Place(dialog, fixed, dialog->delayLabel, {12, 24, 95, 10});
  dialog->settingsGroup = gtk_frame_new("Параметры");
  Place(dialog, fixed, dialog->settingsGroup, {7, 7, 185, 132});
  dialog->linkGroup = gtk_frame_new("Поситите нас в интернет");
  Place(dialog, fixed, dialog->linkGroup, {8, 144, 183, 49});
  dialog->LinkControl = CreateHyperlink("Custom1");
  Place(dialog, fixed, dialog->LinkControl, {16, 155, 168, 33});
  dialog->DelayList = DropDownList();
  Place(dialog, fixed, dialog->DelayList, {114, 24, 65, 12});
  dialog->VolumeSlider = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
  Place(dialog, fixed, dialog->VolumeSlider, {69, 41, 114, 22});
  dialog->volumeLabel = StaticText("Громкость звука:");
  Place(dialog, fixed, dialog->volumeLabel, {12, 46, 55, 11});
  dialog->DayCycleBox = LeftTextCheckBox("Смена утра, дня и вечера:");
  Place(dialog, fixed, dialog->DayCycleBox, {11, 62, 168, 15});
  dialog->ClockBox = LeftTextCheckBox("Показывать время:");
  Place(dialog, fixed, dialog->ClockBox, {11, 76, 168, 16});
  dialog->MusicBox = LeftTextCheckBox("Музыка:");
  Place(dialog, fixed, dialog->MusicBox, {11, 111, 168, 12});
  dialog->NatureBox = LeftTextCheckBox("Звуки природы:");
  Place(dialog, fixed, dialog->NatureBox, {11, 124, 168, 10});
  dialog->startLabel = StaticText("Начинать показ:");
  Place(dialog, fixed, dialog->startLabel, {12, 94, 92, 11});
  dialog->StartSceneList = DropDownList();
  Place(dialog, fixed, dialog->StartSceneList, {108, 93, 72, 12});

  // The link control: its text and link are the home address; the picture is shown instead
  // of the text, and a click leaves the dialog open.
  HyperlinkSetText(dialog->LinkControl, homeLink);
  HyperlinkSetLink(dialog->LinkControl, homeLink);
  HyperlinkSetBitmap(dialog->LinkControl, picture);
  HyperlinkSetExitOnOpen(dialog->LinkControl, 0);

  for (const char* label : kDelayLabels) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(dialog->DelayList), label);
  SelectOrNone(dialog->DelayList, Settings.sceneDelayChoice, 7);
  for (int32_t i = 0; i < SettingsEx.sceneCount; ++i) {
    char label[32];
    StartSceneLabel(i, label, sizeof label);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(dialog->StartSceneList), label);
  }
  SelectOrNone(dialog->StartSceneList, Settings.startScene, SettingsEx.sceneCount);

  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->DayCycleBox), Settings.dayCycle != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->ClockBox), Settings.showClock != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->MusicBox), Settings.musicOn != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->NatureBox), Settings.natureSounds != 0);

  // The slider keeps the classic range 0..100 with a mark at every step along its top;
  // arrows move it by 1, Page Up and Down by a fifth.
  GtkScale* slider = GTK_SCALE(dialog->VolumeSlider);
  gtk_scale_set_draw_value(slider, FALSE);
  gtk_range_set_increments(GTK_RANGE(slider), 1, 20);
  for (int mark = 0; mark <= 100; ++mark) gtk_scale_add_mark(slider, mark, GTK_POS_TOP, nullptr);
  gtk_range_set_value(GTK_RANGE(slider), Settings.volume);

  g_signal_connect(dialog->okButton, "clicked", G_CALLBACK(OkClicked), dialog);
  g_signal_connect(dialog->cancelButton, "clicked", G_CALLBACK(CancelClicked), dialog);
  g_signal_connect(window, "delete-event", G_CALLBACK(CloseBox), dialog);
  g_signal_connect(window, "key-press-event", G_CALLBACK(DialogKey), dialog);
  g_signal_connect(fixed, "focus", G_CALLBACK(FocusInTemplateOrder), dialog);

  gtk_widget_set_can_default(dialog->okButton, TRUE);
  gtk_window_set_default(GTK_WINDOW(window), dialog->okButton);
  gtk_widget_show_all(fixed);
  gtk_widget_grab_focus(dialog->okButton);  // the first control of the Tab order
}

void SettingsDialogOk(SettingsDialog* dialog) {
  Settings.sceneDelayChoice = SelectedOrZero(dialog->DelayList);
  Settings.startScene = SelectedOrZero(dialog->StartSceneList);
  Settings.volume = static_cast<int32_t>(std::lround(gtk_range_get_value(GTK_RANGE(dialog->VolumeSlider))));
  Settings.dayCycle = Ticked(dialog->DayCycleBox);
  Settings.showClock = Ticked(dialog->ClockBox);
  Settings.musicOn = Ticked(dialog->MusicBox);
  Settings.natureSounds = Ticked(dialog->NatureBox);
  SaveSettings();
  dialog->closed = true;
  gtk_widget_hide(dialog->window);
}

void SettingsDialogCancel(SettingsDialog* dialog) {
  dialog->closed = true;
  gtk_widget_hide(dialog->window);
}

int RunSettingsDialog(unsigned long parentWindow) {
  if (chdir(installDir.c_str()) != 0) {
    // Not reported here: the picture's loader says what is missing.
  }
  cairo_surface_t* picture = LoadPictureBitmap("ad1.jpg");
  if (g_get_prgname() == nullptr) g_set_prgname("quiet-highland");  // the window's class
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "Quiet Highland: can't open the display to show the settings dialog.\n");
    if (picture != nullptr) cairo_surface_destroy(picture);
    return 1;
  }
  RegisterHyperlinkClass();
  SettingsDialog dialog;
  CreateSettingsDialog(&dialog, picture);
  PlaceDialog(&dialog, parentWindow);
  gtk_widget_show(dialog.window);
  while (!dialog.closed) gtk_main_iteration();
  gtk_widget_destroy(dialog.window);
  while (gtk_events_pending()) gtk_main_iteration();
  if (picture != nullptr) cairo_surface_destroy(picture);
  return 0;
}

}  // namespace qh
