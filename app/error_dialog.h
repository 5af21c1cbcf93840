// The modal error or warning box "errDiag": its OK ends the process with status 1.
#pragma once

#include <X11/Intrinsic.h>

// isError 1: error dialog, else warning. withCancel 1: keep Cancel, which only
// closes the dialog. Returns the message box at once; the caller goes on.
Widget errorDialog(Widget parent, const char* message, int withCancel, int isError);

// Where bug reports go; ends every fatal dialog message.
extern const char* const contactAddress;
