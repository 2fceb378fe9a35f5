// The settings dialog on a real display: its lists, what OK stores, what Cancel, Escape
// and the close box leave alone, the slider's range, the Tab order and the template's sizes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/file_table.h"
#include "resources/settings.h"
#include "tests/store_test_support.h"
#include "tests/ui_gtk_support.h"
#include "ui/hyperlink.h"
#include "ui/settings_dialog.h"

namespace qh {
namespace {

class SettingsDialogTest : public test::StoreWorld {
 protected:
  void SetUp() override {
    StoreWorld::SetUp();
    Settings = SettingsRecord{};
    SetDefaultSettings(&Settings);
    SetDefaultSettingsEx(&SettingsEx);
    SettingsEx.sceneCount = 3;
    std::snprintf(titleName, sizeof titleName, "%s", "Тихое нагорье");
    std::snprintf(homeLink, sizeof homeLink, "%s", "https://example.invalid/");
  }
  void TearDown() override {
    Close();
    test::PumpPending();
    StoreWorld::TearDown();
  }

  void Open() {
    Close();
    CreateSettingsDialog(&dialog_, nullptr);
    gtk_widget_show(dialog_.window);
    test::PumpPending();
  }

  void Close() {
    if (dialog_.window != nullptr) gtk_widget_destroy(dialog_.window);
    dialog_.window = nullptr;
  }

  static std::vector<std::string> Entries(GtkWidget* list) {
    std::vector<std::string> entries;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(list));
    GtkTreeIter row;
    for (gboolean valid = gtk_tree_model_get_iter_first(model, &row); valid;
         valid = gtk_tree_model_iter_next(model, &row)) {
      gchar* text = nullptr;
      gtk_tree_model_get(model, &row, 0, &text, -1);
      entries.push_back(text != nullptr ? text : "");
      g_free(text);
    }
    return entries;
  }

  // The stored "settings" value, or an empty vector when there is none.
  static std::vector<uint8_t> Stored() {
    uint8_t bytes[kSettingsBytes];
    uint32_t size = kSettingsBytes;
    ReadRegistryBlob(kKeyPath, "settings", bytes, &size);
    if (size != kSettingsBytes) return {};
    return std::vector<uint8_t>(bytes, bytes + kSettingsBytes);
  }

  static bool Ticked(GtkWidget* box) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(box)); }
  double Volume() const { return gtk_range_get_value(GTK_RANGE(dialog_.VolumeSlider)); }

  SettingsDialog dialog_;
};

TEST_F(SettingsDialogTest, TheStartListHoldsTheFirstSceneCountEntries) {
  SettingsEx.sceneCount = 1;
  Open();
  EXPECT_EQ(Entries(dialog_.StartSceneList), std::vector<std::string>{"с 1 сцены"});
  Close();

  SettingsEx.sceneCount = 3;
  Open();
  EXPECT_EQ(Entries(dialog_.StartSceneList), (std::vector<std::string>{"с 1 сцены", "со 2 сцены", "с 3 сцены"}));
  Close();

  SettingsEx.sceneCount = 10;
  Open();
  const std::vector<std::string> ten = Entries(dialog_.StartSceneList);
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten[7], "с 8 сцены");
  EXPECT_EQ(ten[8], "с 9 сцены") << "past the eighth the entries go on in the same form";
  EXPECT_EQ(ten[9], "с 10 сцены");

  EXPECT_EQ(Entries(dialog_.DelayList), (std::vector<std::string>{"30 секунд", "1 минута", "2 минуты", "3 минуты",
                                                                   "5 минут", "10 минут", "не менять сцену"}));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog_.window)), "Тихое нагорье - Параметры");
}

TEST_F(SettingsDialogTest, OkWithoutTouchingAnythingStoresWhatWasReadWithFlagsAs1) {
  Settings.sceneDelayChoice = 3;
  Settings.volume = 37;
  Settings.dayCycle = 5;
  Settings.showClock = 0;
  Settings.reserved1[0] = 0xAB;
  Settings.reserved1[1] = 0xCD;
  Settings.startScene = 2;
  Settings.musicOn = 200;
  Settings.natureSounds = 1;
  Settings.reserved2[0] = 0x12;
  Settings.reserved2[1] = 0x34;
  Open();
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(dialog_.DelayList)), 3);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(dialog_.StartSceneList)), 2);
  EXPECT_TRUE(Ticked(dialog_.DayCycleBox));
  EXPECT_FALSE(Ticked(dialog_.ClockBox));
  EXPECT_TRUE(Ticked(dialog_.MusicBox));
  EXPECT_TRUE(Ticked(dialog_.NatureBox));

  gtk_button_clicked(GTK_BUTTON(dialog_.okButton));
  EXPECT_TRUE(dialog_.closed);
  EXPECT_EQ(Stored(), (std::vector<uint8_t>{3, 0, 0, 0, 37, 0, 0, 0, 1, 0, 0xAB, 0xCD, 2, 0, 0, 0, 1, 1, 0x12, 0x34}));
}

TEST_F(SettingsDialogTest, CancelEscapeAndTheCloseBoxLeaveTheUserFileAsItWas) {
  const std::string original =
      Store("\"settings\"=hex:01,00,00,00,28,00,00,00,00,01,00,00,01,00,00,00,01,00,00,00\n\"other\"=\"kept\"\n");
  WriteFile(UserFile(), original);
  const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, UserFile().c_str(), past, 0), 0);
  struct stat before {};
  ASSERT_EQ(stat(UserFile().c_str(), &before), 0);
  const SettingsRecord inMemory = Settings;

  auto change = [&] {
    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_.DelayList), 6);
    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_.StartSceneList), 2);
    gtk_range_set_value(GTK_RANGE(dialog_.VolumeSlider), 3);
    for (GtkWidget* box : {dialog_.DayCycleBox, dialog_.ClockBox, dialog_.MusicBox, dialog_.NatureBox}) {
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), !Ticked(box));
    }
  };
  Open();
  change();
  gtk_button_clicked(GTK_BUTTON(dialog_.cancelButton));
  EXPECT_TRUE(dialog_.closed) << "Cancel closes the dialog";
  Close();

  Open();
  change();
  test::SendKey(dialog_.window, GDK_KEY_Escape);
  EXPECT_TRUE(dialog_.closed) << "Escape closes the dialog";
  Close();

  Open();
  change();
  GdkEvent* close = gdk_event_new(GDK_DELETE);
  close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog_.window)));
  gtk_main_do_event(close);
  gdk_event_free(close);
  test::PumpPending();
  EXPECT_TRUE(dialog_.closed) << "the close box closes the dialog";

  struct stat after {};
  ASSERT_EQ(stat(UserFile().c_str(), &after), 0);
  EXPECT_EQ(ReadFile(UserFile()), original);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the file was not replaced";
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(std::memcmp(&Settings, &inMemory, sizeof Settings), 0) << "nothing changes the settings in memory";
}

TEST_F(SettingsDialogTest, TheSliderStartsAtTheVolumeAndReturns0To100) {
  Settings.volume = 37;
  Open();
  EXPECT_EQ(Volume(), 37);
  gtk_range_set_value(GTK_RANGE(dialog_.VolumeSlider), 0);
  SettingsDialogOk(&dialog_);
  EXPECT_EQ(Settings.volume, 0);
  EXPECT_EQ(Stored().at(4), 0);
  Close();

  Settings.volume = 100;
  Open();
  EXPECT_EQ(Volume(), 100);
  SettingsDialogOk(&dialog_);
  EXPECT_EQ(Stored().at(4), 100);
  Close();

  // The keyboard moves it by one; it stops at its ends.
  Settings.volume = 99;
  Open();
  gtk_widget_grab_focus(dialog_.VolumeSlider);
  test::SendKey(dialog_.window, GDK_KEY_Right);
  test::SendKey(dialog_.window, GDK_KEY_Right);
  EXPECT_EQ(Volume(), 100);
  Close();

  // A stored volume outside the range shows at the nearest end, and OK stores that.
  Settings.volume = 250;
  Open();
  EXPECT_EQ(Volume(), 100);
  SettingsDialogOk(&dialog_);
  EXPECT_EQ(Settings.volume, 100);
  Close();

  Settings.volume = -4;
  Open();
  EXPECT_EQ(Volume(), 0);
  test::SendKey(dialog_.window, GDK_KEY_Left);
  SettingsDialogOk(&dialog_);
  EXPECT_EQ(Settings.volume, 0);
}

TEST_F(SettingsDialogTest, StoredIndicesOutsideTheListsShowNoSelectionAndOkStores0) {
  for (const auto& [delay, scene] : std::vector<std::pair<int32_t, int32_t>>{{7, 3}, {-1, -1}, {1000, 255}}) {
    Settings.sceneDelayChoice = delay;
    Settings.startScene = scene;
    Open();
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(dialog_.DelayList)), -1) << "delay choice " << delay;
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(dialog_.StartSceneList)), -1) << "start scene " << scene;
    SettingsDialogOk(&dialog_);
    const std::vector<uint8_t> stored = Stored();
    ASSERT_EQ(stored.size(), kSettingsBytes);
    EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 12, stored.begin() + 16), std::vector<uint8_t>(4, 0));
    Close();
    dialog_.window = nullptr;
  }
}

TEST_F(SettingsDialogTest, TabGoesThroughTheControlsInTemplateOrderAndReturnAndSpaceWorkAsInADialog) {
  Open();
  GtkWindow* window = GTK_WINDOW(dialog_.window);
  auto focusedIn = [&](GtkWidget* control) {
    GtkWidget* focus = gtk_window_get_focus(window);
    return focus != nullptr && (focus == control || gtk_widget_is_ancestor(focus, control));
  };
  EXPECT_TRUE(focusedIn(dialog_.okButton)) << "the dialog opens with the focus on OK";
  const std::vector<GtkWidget*> order = {dialog_.cancelButton, dialog_.LinkControl, dialog_.DelayList,
                                         dialog_.VolumeSlider, dialog_.DayCycleBox, dialog_.ClockBox,
                                         dialog_.MusicBox,     dialog_.NatureBox,   dialog_.StartSceneList,
                                         dialog_.okButton};
  for (size_t i = 0; i < order.size(); ++i) {
    test::SendKey(dialog_.window, GDK_KEY_Tab);
    EXPECT_TRUE(focusedIn(order[i])) << "Tab number " << i + 1;
  }
  test::SendKey(dialog_.window, GDK_KEY_Tab, GDK_SHIFT_MASK);
  EXPECT_TRUE(focusedIn(dialog_.StartSceneList)) << "Shift+Tab from the first control goes to the last";

  // Space ticks the focused box; Return is OK even there.
  gtk_widget_grab_focus(dialog_.ClockBox);
  // A button pressed from the keyboard shows itself pressed for a moment before it acts.
  test::SendKey(dialog_.window, GDK_KEY_space);
  EXPECT_TRUE(test::PumpUntil([&] { return !Ticked(dialog_.ClockBox); })) << "Space ticks the focused box";
  EXPECT_FALSE(dialog_.closed);
  test::SendKey(dialog_.window, GDK_KEY_Return);
  EXPECT_TRUE(test::PumpUntil([&] { return dialog_.closed; })) << "Return presses the default button";
  const std::vector<uint8_t> stored = Stored();
  ASSERT_EQ(stored.size(), kSettingsBytes);
  EXPECT_EQ(stored[9], 0) << "the clock switched off with Space is stored";
}

TEST_F(SettingsDialogTest, ReturnPressesOkFromEveryControlButCancelAndPicksTheEntryOfAnOpenList) {
  const std::vector<std::pair<const char*, GtkWidget* SettingsDialog::*>> controls = {
      {"OK", &SettingsDialog::okButton},          {"the picture link", &SettingsDialog::LinkControl},
      {"the delay list", &SettingsDialog::DelayList}, {"the slider", &SettingsDialog::VolumeSlider},
      {"the day cycle box", &SettingsDialog::DayCycleBox}, {"the clock box", &SettingsDialog::ClockBox},
      {"the music box", &SettingsDialog::MusicBox},  {"the nature box", &SettingsDialog::NatureBox},
      {"the start list", &SettingsDialog::StartSceneList}};
  for (const auto& [what, control] : controls) {
    SCOPED_TRACE(what);
    dialog_.closed = false;
    Open();
    // A link nothing opens: had Return gone to the link, stderr would say so.
    HyperlinkSetLink(dialog_.LinkControl, "qh-nobody-handles-this:x");
    gtk_widget_grab_focus(dialog_.*control);
    testing::internal::CaptureStderr();
    test::SendKey(dialog_.window, GDK_KEY_Return);
    EXPECT_TRUE(test::PumpUntil([&] { return dialog_.closed; })) << "Return pressed OK";
    test::PumpPending();
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("can't open"), std::string::npos) << "Return opened the link";
    EXPECT_FALSE(gtk_widget_get_visible(dialog_.window));
    EXPECT_EQ(Stored().size(), kSettingsBytes) << "OK stored the settings";
    GtkWidget* list = dialog_.*control;
    if (GTK_IS_COMBO_BOX(list)) {
      gboolean shown = TRUE;
      g_object_get(list, "popup-shown", &shown, nullptr);
      EXPECT_FALSE(shown) << "Return opened the list";
    }
  }
  // Return on Cancel presses Cancel: what the controls show is not stored.
  dialog_.closed = false;
  Open();
  gtk_range_set_value(GTK_RANGE(dialog_.VolumeSlider), 7);
  gtk_widget_grab_focus(dialog_.cancelButton);
  test::SendKey(dialog_.window, GDK_KEY_Return);
  EXPECT_TRUE(test::PumpUntil([&] { return dialog_.closed; }));
  ASSERT_EQ(Stored().size(), kSettingsBytes);
  EXPECT_NE(Stored()[4], 7) << "Return on Cancel stored the settings";

  // An open list has the keys: Return there picks the highlighted entry and closes the list,
  // and the dialog stays open.
  dialog_.closed = false;
  Open();
  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_.StartSceneList), 0);
  gtk_widget_grab_focus(dialog_.StartSceneList);
  gtk_combo_box_popup(GTK_COMBO_BOX(dialog_.StartSceneList));
  gboolean shown = FALSE;
  EXPECT_TRUE(test::PumpUntil([&] {
    g_object_get(dialog_.StartSceneList, "popup-shown", &shown, nullptr);
    return shown == TRUE;
  }));
  GtkWidget* popup = gtk_grab_get_current();
  ASSERT_NE(popup, nullptr) << "the open list holds the grab";
  test::SendKey(popup, GDK_KEY_Down);
  test::SendKey(popup, GDK_KEY_Return);
  EXPECT_TRUE(test::PumpUntil([&] {
    g_object_get(dialog_.StartSceneList, "popup-shown", &shown, nullptr);
    return shown == FALSE;
  }));
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(dialog_.StartSceneList)), 1) << "Return picked the entry";
  EXPECT_FALSE(dialog_.closed) << "Return in the open list pressed OK";
}

TEST_F(SettingsDialogTest, ControlsHaveTheTemplatesSizesInDialogUnits) {
  Open();
  ASSERT_GT(dialog_.baseUnitX, 0);
  ASSERT_GT(dialog_.baseUnitY, 0);
  EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(dialog_.window)));
  auto px = [&](int units) { return (units * dialog_.baseUnitX + 2) / 4; };
  auto py = [&](int units) { return (units * dialog_.baseUnitY + 4) / 8; };
  struct Expected {
    const char* name;
    GtkWidget* widget;
    DialogUnits at;
  };
  const Expected controls[] = {
      {"OK", dialog_.okButton, {198, 8, 50, 14}},
      {"Cancel", dialog_.cancelButton, {198, 25, 50, 14}},
      {"settings group", dialog_.settingsGroup, {7, 7, 185, 132}},
      {"link group", dialog_.linkGroup, {8, 144, 183, 49}},
      {"link", dialog_.LinkControl, {16, 155, 168, 33}},
      {"slider", dialog_.VolumeSlider, {69, 41, 114, 22}},
      {"day cycle", dialog_.DayCycleBox, {11, 62, 168, 15}},
      {"clock", dialog_.ClockBox, {11, 76, 168, 16}},
      {"music", dialog_.MusicBox, {11, 111, 168, 12}},
      {"nature", dialog_.NatureBox, {11, 124, 168, 10}},
  };
  for (const Expected& c : controls) {
    GtkAllocation a;
    gtk_widget_get_allocation(c.widget, &a);
    EXPECT_EQ(a.x, px(c.at.x)) << c.name;
    EXPECT_EQ(a.y, py(c.at.y)) << c.name;
    EXPECT_EQ(a.width, px(c.at.width)) << c.name << " keeps its width";
    EXPECT_EQ(a.height, py(c.at.height)) << c.name << " keeps its height";
  }
  // The lists keep their width (their height is the font's, as in any drop-down list).
  GtkAllocation delay;
  gtk_widget_get_allocation(dialog_.DelayList, &delay);
  EXPECT_EQ(delay.width, px(65));
  GtkAllocation start;
  gtk_widget_get_allocation(dialog_.StartSceneList, &start);
  EXPECT_EQ(start.width, px(72));
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(dialog_.window), &width, &height);
  EXPECT_EQ(width, px(252));
  EXPECT_EQ(height, py(199));
}

TEST_F(SettingsDialogTest, TheLinkControlShowsThePictureLinksHomeAndLeavesTheDialogOpenOnAClick) {
  cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8);
  CreateSettingsDialog(&dialog_, picture);
  HyperlinkRecord* record = FindHyperlink(dialog_.LinkControl);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->bitmap, picture);
  EXPECT_STREQ(record->link, "https://example.invalid/");
  EXPECT_STREQ(record->text, "https://example.invalid/");
  EXPECT_EQ(record->exitOnOpen, 0);
  Close();
  dialog_.window = nullptr;
  cairo_surface_destroy(picture);
}

TEST_F(SettingsDialogTest, APictureFileThatIsNoPictureLeavesTheLinkShowingItsText) {
  WriteFile(root_ + "/install/ad1.jpg", "this is no JPEG");
  ASSERT_EQ(chdir((root_ + "/install").c_str()), 0);
  testing::internal::CaptureStderr();
  cairo_surface_t* picture = LoadPictureBitmap("ad1.jpg");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(picture, nullptr);
  EXPECT_NE(said.find("ad1.jpg is not a picture"), std::string::npos) << said;
  EXPECT_EQ(FindFile("ad1.jpg"), nullptr) << "the file's bytes are released";
}

}  // namespace
}  // namespace qh
