// The "Hyperlink" control as a GTK widget type of our own (a drawing area underneath):
// every event first looks up the widget's record; a widget without one behaves as a plain
// drawing area.
#include "ui/hyperlink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text_field.h"

struct QhHyperlink {
  GtkDrawingArea parent;
};
struct QhHyperlinkClass {
  GtkDrawingAreaClass parentClass;
};

G_DEFINE_TYPE(QhHyperlink, qh_hyperlink, GTK_TYPE_DRAWING_AREA)

namespace qh {

HyperlinkTableState HyperlinkTable;

namespace {

void AddRecord(GtkWidget* widget) {
  if (HyperlinkTable.count >= kMaxHyperlinks) return;  // a plain widget from here on
  auto* record = new HyperlinkRecord();
  record->window = widget;
  HyperlinkTable.records[HyperlinkTable.count++] = record;
}

void RemoveRecord(GtkWidget* widget) {
  for (int32_t i = 0; i < HyperlinkTable.count; ++i) {
    HyperlinkRecord* record = HyperlinkTable.records[i];
    if (record->window != widget) continue;
    if (record->hoverTimer != 0) g_source_remove(record->hoverTimer);
    delete record;
    for (int32_t j = i + 1; j < HyperlinkTable.count; ++j) HyperlinkTable.records[j - 1] = HyperlinkTable.records[j];
    HyperlinkTable.records[--HyperlinkTable.count] = nullptr;
    return;
  }
}

void SetTextColour(HyperlinkRecord* record, uint32_t colour) {
  record->textColour = colour;
  gtk_widget_queue_draw(record->window);
}

gboolean HoverRested(gpointer data) {
  HyperlinkRecord* record = FindHyperlink(static_cast<GtkWidget*>(data));
  if (record == nullptr) return G_SOURCE_REMOVE;
  record->hoverTimer = 0;
  SetTextColour(record, kHyperlinkHoverColour);
  return G_SOURCE_REMOVE;
}

// The pointer's rest is measured from its last movement over the control.
void TrackPointerRest(HyperlinkRecord* record) {
  if (record->hoverTimer != 0) g_source_remove(record->hoverTimer);
  record->hoverTimer = g_timeout_add(kHyperlinkHoverMs, HoverRested, record->window);
}

void Draw(HyperlinkRecord* record, cairo_t* cr) {
  const int width = gtk_widget_get_allocated_width(record->window);
  const int height = gtk_widget_get_allocated_height(record->window);
  if (record->bitmap != nullptr) {
    // The picture's top-left part at 1:1; the control shows no more than fits.
    cairo_set_source_surface(cr, record->bitmap, 0, 0);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
  } else {
    gchar* valid = g_utf8_make_valid(record->text, -1);
    PangoLayout* layout = gtk_widget_create_pango_layout(record->window, valid);
    g_free(valid);
    pango_layout_set_single_paragraph_mode(layout, TRUE);  // one line, whatever the text holds
    int textWidth = 0;
    int textHeight = 0;
    pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
    const uint32_t c = record->textColour;
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
    cairo_move_to(cr, (width - textWidth) / 2, (height - textHeight) / 2);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
  }
  if (gtk_widget_has_visible_focus(record->window)) {
    gtk_render_focus(gtk_widget_get_style_context(record->window), cr, 0, 0, width, height);
  }
}

void OpenLink(const char* link, GtkWidget* widget) {
  if (link[0] == '\0') {
    std::fprintf(stderr, "Quiet Highland: the link control has no address to open.\n");
    return;
  }
  gchar* scheme = g_uri_parse_scheme(link);
  gchar* uri = nullptr;
  if (scheme != nullptr) {
    uri = g_strdup(link);
  } else {  // a file, relative to the current folder
    GFile* file = g_file_new_for_path(link);
    uri = g_file_get_uri(file);
    g_object_unref(file);
  }
  g_free(scheme);
  GdkAppLaunchContext* context = gdk_display_get_app_launch_context(gtk_widget_get_display(widget));
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri, G_APP_LAUNCH_CONTEXT(context), &error)) {
    std::fprintf(stderr, "Quiet Highland: can't open %s: %s\n", link,
                 error != nullptr ? error->message : "no program is set up for it");
    g_clear_error(&error);
  }
  g_object_unref(context);
  g_free(uri);
}

}  // namespace

HyperlinkRecord* FindHyperlink(const GtkWidget* widget) {
  for (int32_t i = 0; i < HyperlinkTable.count; ++i) {
    if (HyperlinkTable.records[i]->window == widget) return HyperlinkTable.records[i];
  }
  return nullptr;
}

GType RegisterHyperlinkClass() { return qh_hyperlink_get_type(); }

GtkWidget* CreateHyperlink(const char* creationText) {
  GtkWidget* widget = GTK_WIDGET(g_object_new(RegisterHyperlinkClass(), nullptr));
  AtkObject* accessible = gtk_widget_get_accessible(widget);
  atk_object_set_role(accessible, ATK_ROLE_LINK);
  if (creationText != nullptr) atk_object_set_name(accessible, creationText);
  return widget;
}

int HyperlinkSetLink(GtkWidget* widget, const char* link) {
  HyperlinkRecord* record = FindHyperlink(widget);
  if (record == nullptr) return 0;
  CopyToField(record->link, sizeof record->link, link != nullptr ? link : "");
  return 1;
}

int HyperlinkSetExitOnOpen(GtkWidget* widget, int32_t exitOnOpen) {
  HyperlinkRecord* record = FindHyperlink(widget);
  if (record == nullptr) return 0;
  record->exitOnOpen = exitOnOpen;
  return 1;
}

int HyperlinkSetBitmap(GtkWidget* widget, cairo_surface_t* bitmap) {
  HyperlinkRecord* record = FindHyperlink(widget);
  if (record == nullptr) return 0;
  record->bitmap = bitmap;
  return 1;
}

int HyperlinkSetText(GtkWidget* widget, const char* text) {
  HyperlinkRecord* record = FindHyperlink(widget);
  if (record == nullptr) return 0;
  CopyToField(record->text, sizeof record->text, text != nullptr ? text : "");
  gchar* valid = g_utf8_make_valid(record->text, -1);
  atk_object_set_name(gtk_widget_get_accessible(widget), valid);
  g_free(valid);
  return 1;
}

void OpenHyperlink(HyperlinkRecord* record) {
  OpenLink(record->link, record->window);
  if (record->exitOnOpen != 0) {
    std::fflush(nullptr);
    std::_Exit(1);
  }
}

}  // namespace qh

namespace {

void HyperlinkRealize(GtkWidget* widget) {
  GTK_WIDGET_CLASS(qh_hyperlink_parent_class)->realize(widget);
  if (qh::FindHyperlink(widget) == nullptr) return;
  GdkDisplay* display = gtk_widget_get_display(widget);
  GdkCursor* hand = gdk_cursor_new_from_name(display, "pointer");
  if (hand == nullptr) hand = gdk_cursor_new_for_display(display, GDK_HAND2);
  gdk_window_set_cursor(gtk_widget_get_window(widget), hand);
  if (hand != nullptr) g_object_unref(hand);
}

void HyperlinkSizeAllocate(GtkWidget* widget, GtkAllocation* allocation) {
  GTK_WIDGET_CLASS(qh_hyperlink_parent_class)->size_allocate(widget, allocation);
  if (qh::HyperlinkRecord* record = qh::FindHyperlink(widget)) {
    record->rect = GdkRectangle{0, 0, allocation->width, allocation->height};
  }
}

gboolean HyperlinkDraw(GtkWidget* widget, cairo_t* cr) {
  if (qh::HyperlinkRecord* record = qh::FindHyperlink(widget)) qh::Draw(record, cr);
  return FALSE;
}

gboolean HyperlinkPointerMoved(GtkWidget* widget, GdkEventMotion* /*event*/) {
  if (qh::HyperlinkRecord* record = qh::FindHyperlink(widget)) qh::TrackPointerRest(record);
  return FALSE;
}

gboolean HyperlinkEntered(GtkWidget* widget, GdkEventCrossing* /*event*/) {
  if (qh::HyperlinkRecord* record = qh::FindHyperlink(widget)) qh::TrackPointerRest(record);
  return FALSE;
}

gboolean HyperlinkLeft(GtkWidget* widget, GdkEventCrossing* /*event*/) {
  qh::HyperlinkRecord* record = qh::FindHyperlink(widget);
  if (record == nullptr) return FALSE;
  if (record->hoverTimer != 0) g_source_remove(record->hoverTimer);
  record->hoverTimer = 0;
  qh::SetTextColour(record, qh::kHyperlinkNormalColour);
  return FALSE;
}

gboolean HyperlinkPressed(GtkWidget* widget, GdkEventButton* event) {
  qh::HyperlinkRecord* record = qh::FindHyperlink(widget);
  if (record == nullptr || event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
  qh::OpenHyperlink(record);
  return TRUE;
}

gboolean HyperlinkKeyPressed(GtkWidget* widget, GdkEventKey* event) {
  qh::HyperlinkRecord* record = qh::FindHyperlink(widget);
  if (record != nullptr) {
    switch (event->keyval) {
      case GDK_KEY_space:
      case GDK_KEY_KP_Space:
      case GDK_KEY_Return:
      case GDK_KEY_KP_Enter:
      case GDK_KEY_ISO_Enter:
        qh::OpenHyperlink(record);
        return TRUE;
      default:
        break;
    }
  }
  return GTK_WIDGET_CLASS(qh_hyperlink_parent_class)->key_press_event(widget, event);
}

void HyperlinkDestroy(GtkWidget* widget) {
  qh::RemoveRecord(widget);
  GTK_WIDGET_CLASS(qh_hyperlink_parent_class)->destroy(widget);
}

}  // namespace

static void qh_hyperlink_class_init(QhHyperlinkClass* type) {
  GtkWidgetClass* widget = GTK_WIDGET_CLASS(type);
  widget->realize = HyperlinkRealize;
  widget->size_allocate = HyperlinkSizeAllocate;
  widget->draw = HyperlinkDraw;
  widget->motion_notify_event = HyperlinkPointerMoved;
  widget->enter_notify_event = HyperlinkEntered;
  widget->leave_notify_event = HyperlinkLeft;
  widget->button_press_event = HyperlinkPressed;
  widget->key_press_event = HyperlinkKeyPressed;
  widget->destroy = HyperlinkDestroy;
  gtk_widget_class_set_css_name(widget, "hyperlink");
}

static void qh_hyperlink_init(QhHyperlink* self) {
  GtkWidget* widget = GTK_WIDGET(self);
  gtk_widget_set_can_focus(widget, TRUE);
  gtk_widget_add_events(widget, GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_POINTER_MOTION_MASK |
                                    GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
  qh::AddRecord(widget);
}
