// The receive and transmit panes: characters in and out, scroll hold, the
// "Clear" pop-up menus and the display-only options (local capitals, slashed zero).
#pragma once

#include <X11/Intrinsic.h>

struct AppResources;

// What every pane shows alike: capitals or not, and the colours of a marked (scrolled
// back, focused, active) and an unmarked control, taken from the receive pane's
// scroll bar after realisation.
struct PaneLook {
    unsigned char localCaps;  // show all text in capitals
    Pixel markColor;
    Pixel plainColor;
};

// A pane's "Clear" pop-up: clearing also ends the receive pane's scroll hold.
struct ClearMenu {
    Widget menu;
    Widget pane;
    int* scrollHold;
};

// A receive pane, of the main window or of a secondary decoder window; the text
// widget's user data points here.
struct ReceivePane {
    Widget text;
    Widget scrollBar;       // vertical scroll bar of the pane's scrolled window
    int scrolledBack;       // scroll hold: 1 while the operator reads back
    ClearMenu clear;        // "clrRx"
    const PaneLook* look;
};

// The main window's receive and transmit panes.
struct TextPanes {
    Widget paneWin;
    Widget rxTextSW;
    ReceivePane rx;
    Widget txTextSW;
    Widget txText;
    ClearMenu clearTx;      // "clrTx"
    PaneLook look;
    const AppResources* resources;  // slashed zero
};

// The panes show every byte of the modem as its Latin-1 character. Call before
// the toolkit starts: it makes the text widgets hold characters, not bytes.
void useCharacterLocale();

// Appends one character to a receive pane; `mode` is a Motif text highlight mode.
void putRxChar(Widget pane, char c, int zeroFlag, int mode);
// Appends a message to a receive pane on a line of its own, after a newline unless
// the pane is empty or ends in one.
void putRxLine(Widget pane, const char* text);
// Appends one character to the transmit pane as if typed, so that it is sent.
void putTxChar(Widget txText, char c);

// Creates a pane's "Clear" pop-up menu on `parent`.
void clear_menu_create(ClearMenu* clear, Widget parent, const char* name, const char* title,
                       Widget pane, int* scrollHold);
// The scroll bar's handlers, which keep the pane's scroll hold.
void receive_pane_attach(ReceivePane* pane);
// The main window's panes: typing, scroll hold and the pop-up menus.
void panes_attach(TextPanes* panes);

// Button 3 pops up the menu given as client data.
void popupCB(Widget w, XtPointer menu, XEvent* event, Boolean* continueDispatch);
