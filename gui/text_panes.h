// The receive and transmit panes: characters in and out, scroll hold, the
// "Clear" pop-up menus and the display-only options (local capitals, slashed zero).
#pragma once

#include <X11/Intrinsic.h>

// The panes show every byte of the modem as its Latin-1 character. Call before
// the toolkit starts: it makes the text widgets hold characters, not bytes.
void useCharacterLocale();

// Appends one character to a receive pane; `mode` is a Motif text highlight mode.
void putRxChar(Widget pane, char c, int zeroFlag, int mode);
// Appends a message to a receive pane on a line of its own, after a newline unless
// the pane is empty or ends in one.
void putRxLine(Widget pane, const char* text);
// Appends one character to txText as if typed, so that it is sent.
void putTxChar(char c);

// Wide-character modify verify and motion verify handler of txText.
void txTextCB(Widget w, XtPointer clientData, XtPointer callData);
void localCapsCB(Widget toggle, XtPointer clientData, XtPointer callData);
void scrollCB(Widget scrollBar, XtPointer owner, XtPointer callData);
void popupCB(Widget w, XtPointer menu, XEvent* event, Boolean* continueDispatch);
void clearCB(Widget item, XtPointer itemIndex, XtPointer callData);

// The scroll-hold flag of a receive pane's owner (the MainWindow record or a
// secondary decoder record).
int* scrolledBackOf(XtPointer owner);
