// "Log Contact": the VORDA LOG dialog, filled in from what the program knows (the
// call, the time, the radio frequency and the mode) and handed to the program's
// logContact service on OK or Enter.
#pragma once

#include <X11/Intrinsic.h>

struct MainWindow;

struct LogDialog {
    Widget dialog;      // "logDialog", titled "VORDA LOG"
    Widget fieldsRC;
    Widget labels[11];
    Widget fields[11];  // CALL first, in the order of logFieldNames
    Widget message;     // why the last OK was refused
    Widget okButton;
    Widget cancelButton;
};

// The ADIF names of the dialog's fields, in order.
extern const char* const logFieldNames[11];

// Opens the dialog (built on first use) with fresh values and the keyboard in CALL.
void log_dialog_open(MainWindow* mw);

// The call the dialog begins with: the selected text when it is one word, else the
// call box's call; upper case, surrounding blanks and punctuation removed.
const char* log_call_from(const char* selection, const char* callBoxCall);
