// The "Hyperlink" control: a small GTK widget that shows one centred line of text, or the
// top-left part of a picture, and opens its link when clicked (or activated from the keyboard).
#pragma once
#include <gtk/gtk.h>

#include <cstddef>
#include <cstdint>

namespace qh {

constexpr int kMaxHyperlinks = 255;
constexpr size_t kHyperlinkLinkBytes = 255;  // at most 254 bytes of link and the zero
constexpr size_t kHyperlinkTextBytes = 256;  // at most 255 bytes of text and the zero
// Text colours as 0x00BBGGRR: blue normally, red once the pointer has rested on the control.
constexpr uint32_t kHyperlinkNormalColour = 0x00C80000;
constexpr uint32_t kHyperlinkHoverColour = 0x000000C8;
constexpr guint kHyperlinkHoverMs = 5;

// One per live control; the control that has none (the 256th) is a plain widget.
struct HyperlinkRecord {
  GtkWidget* window = nullptr;
  cairo_surface_t* bitmap = nullptr;  // not owned; when set it is shown instead of the text
  GdkRectangle rect{};                // the control's area, as last allocated
  int32_t exitOnOpen = 1;             // nonzero: the process ends with 1 once the link is opened
  uint32_t textColour = kHyperlinkNormalColour;
  guint hoverTimer = 0;               // the pending end of the pointer's rest; 0 when none
  char link[kHyperlinkLinkBytes] = {};
  char text[kHyperlinkTextBytes] = {};
};

// The records of all live controls in creation order. Written only by the control itself
// (created with the widget, removed when it is destroyed).
struct HyperlinkTableState {
  HyperlinkRecord* records[kMaxHyperlinks] = {};
  int32_t count = 0;
};
extern HyperlinkTableState HyperlinkTable;

// Registers the control's widget type; safe to call again. Needs no display.
GType RegisterHyperlinkClass();

// A new control. The creation text is only its accessible name: what it draws is set with
// HyperlinkSetText.
GtkWidget* CreateHyperlink(const char* creationText);
HyperlinkRecord* FindHyperlink(const GtkWidget* widget);  // nullptr for a plain widget

// The control operations: 1 when the widget is a control with a record, 0 otherwise.
// Texts longer than their field are cut at a UTF-8 character boundary.
int HyperlinkSetLink(GtkWidget* widget, const char* link);
int HyperlinkSetExitOnOpen(GtkWidget* widget, int32_t exitOnOpen);
int HyperlinkSetBitmap(GtkWidget* widget, cairo_surface_t* bitmap);  // shown at the next paint
int HyperlinkSetText(GtkWidget* widget, const char* text);

// What a click does: opens the link with the desktop's handler for it (never through a
// shell; a path without a scheme is a file), then ends the process with exit code 1 when
// exitOnOpen is set. A link that cannot be opened is written on stderr and otherwise ignored.
void OpenHyperlink(HyperlinkRecord* record);

}  // namespace qh
