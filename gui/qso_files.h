// Sending QSO files from the File menu: the file is typed into the transmit pane,
// with a prompt dialog for each ~WORD field.
#pragma once

#include <X11/Intrinsic.h>

// Activate handler of each File menu button; the client data is the MainWindow
// record, the button's user data the file's name in $HOME/.vordaDir.
void sendFileCB(Widget button, XtPointer window, XtPointer callData);

// The whole file with a NUL after it, or nullptr when it cannot be read: the cause
// is printed and a warning dialog shown, and the program goes on.
char* getFile(const char* path);

// Work procedure typing the text; returns True to be removed.
Boolean sendFileProc(XtPointer text);

// OK of a field's prompt dialog; the client data is the field's terminator.
void promptOkCB(Widget dialog, XtPointer terminator, XtPointer callData);
