#include "gui/qso_files.h"

#include <Xm/MessageB.h>
#include <Xm/Protocols.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/Xm.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/icon.h"
#include "gui/main_window.h"
#include "gui/qso_sender.h"
#include "gui/text_panes.h"

namespace {

qso_sender sender;
Widget dialogParent = nullptr;  // the top-level shell
XtAppContext appContext = nullptr;
Widget readWarning = nullptr;   // created on first use, then reused
Widget prompt = nullptr;        // likewise

// A cached dialog goes with the shell it was made under; forgetting it then keeps
// the next use from reaching a destroyed widget.
void forgetCB(Widget, XtPointer slot, XtPointer) { *static_cast<Widget*>(slot) = nullptr; }

void cache(Widget* slot, Widget dialog) {
    *slot = dialog;
    XtAddCallback(dialog, XmNdestroyCallback, forgetCB, slot);
}

void typeChar(char c, void* txText) { putTxChar(static_cast<Widget>(txText), c); }

// A prompt closed through the window manager ends the file: without it the sender
// would wait for an answer that never comes and swallow every later file choice.
void promptCloseCB(Widget, XtPointer, XtPointer) { qso_abandon(sender); }

// One prompt dialog serves every field; it is only relabelled, so that it is never
// destroyed from inside its own OK callback.
Widget promptDialog() {
    if (prompt != nullptr) return prompt;
    Arg args[1];
    XtSetArg(args[0], XmNdialogStyle, XmDIALOG_FULL_APPLICATION_MODAL);
    Widget dialog = XmCreatePromptDialog(dialogParent, const_cast<char*>("promptDiag"), args, 1);
    cache(&prompt, dialog);
    Widget shell = XtParent(dialog);
    XtVaSetValues(shell, XmNtitle, "VORDA PROMPT DIALOG", XmNiconPixmap, programIcon(), nullptr);
    XtUnmanageChild(XmSelectionBoxGetChild(dialog, XmDIALOG_HELP_BUTTON));
    XtUnmanageChild(XmSelectionBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON));
    Atom deleteWindow =
        XmInternAtom(XtDisplay(shell), const_cast<char*>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(shell, deleteWindow, promptCloseCB, nullptr);
    return dialog;
}

void askWord(const char* word, char terminator, void*) {
    Widget dialog = promptDialog();
    XmString label = XmStringCreateLocalized(const_cast<char*>(word));
    XtVaSetValues(dialog, XmNselectionLabelString, label, nullptr);
    XmStringFree(label);
    XmTextFieldSetString(XmSelectionBoxGetChild(dialog, XmDIALOG_TEXT), const_cast<char*>(""));
    XtRemoveAllCallbacks(dialog, XmNokCallback);
    XtAddCallback(dialog, XmNokCallback, promptOkCB,
                  reinterpret_cast<XtPointer>(static_cast<intptr_t>(
                      static_cast<unsigned char>(terminator))));
    XtManageChild(dialog);
}

void showReadWarning(const char* path, const std::string& reason) {
    if (readWarning == nullptr) {
        cache(&readWarning,
              XmCreateWarningDialog(dialogParent, const_cast<char*>("fileDiag"), nullptr, 0));
        XtVaSetValues(XtParent(readWarning), XmNtitle, "VORDA WARNING", XmNiconPixmap,
                      programIcon(), nullptr);
        XtUnmanageChild(XmMessageBoxGetChild(readWarning, XmDIALOG_CANCEL_BUTTON));
        XtUnmanageChild(XmMessageBoxGetChild(readWarning, XmDIALOG_HELP_BUTTON));
    }
    const std::string message = std::string("Can't read the QSO file\n") + path + "\n" + reason +
                                "\n\nNothing was sent.";
    XmString text = XmStringCreateLtoR(const_cast<char*>(message.c_str()),
                                       const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
    XtVaSetValues(readWarning, XmNmessageString, text, nullptr);
    XmStringFree(text);
    XtManageChild(readWarning);
}

}  // namespace

char* getFile(const char* path) {
    qso_read_failure failure;
    char* text = qso_read_file(path, failure);
    if (text == nullptr) {
        std::fprintf(stderr, "%s: %s\n", failure.what, failure.reason.c_str());
        showReadWarning(path, failure.reason);
    }
    return text;
}

void sendFileCB(Widget button, XtPointer window, XtPointer) {
    const auto* mw = static_cast<const MainWindow*>(window);
    dialogParent = mw->shell;
    appContext = XtWidgetToApplicationContext(button);
    // One text at a time: a choice made while a text is being typed or its field
    // is being asked for is not taken (two senders on the same state would
    // interleave the texts and lose one).
    if (sender.started) return;
    XtPointer name = nullptr;
    XtVaGetValues(button, XmNuserData, &name, nullptr);
    const std::string path = mw->services.qsoDirectory() + "/" + static_cast<const char*>(name);
    char* text = getFile(path.c_str());
    if (text == nullptr) return;
    sender.type = typeChar;
    sender.ask = askWord;
    sender.context = mw->panes.txText;
    // Taken over here, not in the work procedure: a second choice before the
    // procedure first runs must already find the sender busy.
    qso_start(sender, text);
    XtAppAddWorkProc(appContext, sendFileProc, nullptr);
}

Boolean sendFileProc(XtPointer text) {
    return qso_send_step(sender, static_cast<char*>(text)) ? True : False;
}

void promptOkCB(Widget, XtPointer terminator, XtPointer callData) {
    auto* cbs = static_cast<XmSelectionBoxCallbackStruct*>(callData);
    char* answer = static_cast<char*>(XmStringUnparse(cbs->value, nullptr, XmCHARSET_TEXT,
                                                      XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    qso_type_answer(sender, answer ? answer : "",
                    static_cast<char>(reinterpret_cast<intptr_t>(terminator)));
    XtFree(answer);
    XtAppAddWorkProc(appContext, sendFileProc, nullptr);
}
