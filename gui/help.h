// The help window with its search, and the About box. Each is built the first
// time it is asked for and afterwards only shown and hidden.
#pragma once

#include <X11/Intrinsic.h>

// Parent of the About box and the help window; when unset, showHelpItem takes the
// shell at the root of the menu item's widget tree.
void setHelpParent(Widget shell);

// What a Help menu item shows: 0 About, 1 to 10 the help sections.
void showHelpItem(Widget item, int index);

void showAbout();
void showHelp(int section);

// Mode 1 (This Section) and 2 (All Sections) from the find prompt, 0 from Find Again.
void helpFind(Widget w, XtPointer mode, XtPointer callData);

// The help window's widgets, for tests.
struct HelpWindow {
    Widget helpDiag;
    Widget topicLabel;
    Widget pbform;
    Widget find;
    Widget findAgain;
    Widget close;
    Widget helpTxt;
    Widget findPrompt;
    Widget noMatchError;
    Widget aboutDiag;
};
HelpWindow& helpWindow();
