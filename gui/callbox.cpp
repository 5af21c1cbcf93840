#include "gui/callbox.h"

#include <Xm/MwmUtil.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/Xm.h>

#include <cctype>
#include <cstdlib>
#include <iterator>
#include <string>

#include "gui/console_settings.h"
#include "gui/actions.h"
#include "gui/callbox_shm.h"
#include "gui/text_panes.h"

namespace {

key_t callBoxKey = kCallBoxKey;
// Translation actions have no client data: what they need is kept here.
const AppResources* actionResources = nullptr;

void callClearCB(Widget, XtPointer client, XtPointer) {
    auto* cb = static_cast<CallBox*>(client);
    // Emptying the field runs the value-changed handler, which clears the segment.
    XmTextFieldSetString(cb->text, const_cast<char*>(""));
    XmProcessTraversal(cb->text, XmTRAVERSE_CURRENT);
}

void callModifyCB(Widget w, XtPointer, XtPointer callData) {
    auto* verify = static_cast<XmTextVerifyCallbackStruct*>(callData);
    if (verify->text != nullptr) {
        for (int i = 0; i < verify->text->length; ++i) {
            verify->text->ptr[i] = static_cast<char>(
                std::toupper(static_cast<unsigned char>(verify->text->ptr[i])));
        }
    }
    XmProcessTraversal(w, XmTRAVERSE_CURRENT);
}

void callChangedCB(Widget w, XtPointer client, XtPointer) {
    auto* cb = static_cast<CallBox*>(client);
    char* call = XmTextFieldGetString(w);
    callbox_store(cb->segment, call);
    XtFree(call);
    XmProcessTraversal(w, XmTRAVERSE_CURRENT);
}

}  // namespace

std::string callBoxCall() { return callbox_peek(callBoxKey); }

void createCallBox(CallBox* cb, Widget parent) {
    cb->segment = callbox_create(callBoxKey, &cb->shmId);
    if (cb->segment == nullptr) std::exit(1);

    cb->callShell = XtVaCreatePopupShell("callShell", topLevelShellWidgetClass, parent, nullptr);
    XmString label = XmStringCreateLocalized(const_cast<char*>("His Call"));
    XmString clear = XmStringCreateLocalized(const_cast<char*>("Clear"));
    cb->box = XtVaCreateWidget("callBox", xmSelectionBoxWidgetClass, cb->callShell,
                               XmNwidth, 100, XmNdialogType, XmDIALOG_PROMPT,
                               XmNtraversalOn, False, XmNselectionLabelString, label,
                               XmNhelpLabelString, clear, nullptr);
    XmStringFree(label);
    XmStringFree(clear);
    XtUnmanageChild(XmSelectionBoxGetChild(cb->box, XmDIALOG_OK_BUTTON));
    XtUnmanageChild(XmSelectionBoxGetChild(cb->box, XmDIALOG_CANCEL_BUTTON));
    cb->clearButton = XmSelectionBoxGetChild(cb->box, XmDIALOG_HELP_BUTTON);
    cb->text = XmSelectionBoxGetChild(cb->box, XmDIALOG_TEXT);

    XtAddCallback(cb->box, XmNhelpCallback, callClearCB, cb);
    XtAddCallback(cb->text, XmNmodifyVerifyCallback, callModifyCB, cb);
    XtAddCallback(cb->text, XmNvalueChangedCallback, callChangedCB, cb);

    XtVaSetValues(cb->callShell, XmNmwmDecorations, MWM_DECOR_BORDER | MWM_DECOR_TITLE,
                  XmNtitle, "Vorda", nullptr);
    XtManageChild(cb->box);
    XtPopup(cb->callShell, XtGrabNone);
}

namespace {

// Types `text` and one space at the end of the transmit pane.
void appendWord(Widget txText, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) putTxChar(txText, *p);
    putTxChar(txText, ' ');
}

void sendHisCall(Widget w, XEvent*, String*, Cardinal*) {
    std::string call;
    if (callbox_fetch(callBoxKey, call) == kCallFound) appendWord(w, call.c_str());
}

void sendOver(Widget w, XEvent*, String*, Cardinal*) {
    std::string call;
    if (callbox_fetch(callBoxKey, call) == kCallFound) appendWord(w, call.c_str());
    appendWord(w, "de");
    const char* own = actionResources != nullptr ? actionResources->call : nullptr;
    appendWord(w, own != nullptr ? own : "");
}

void sendMacro(Widget w, XEvent*, String* params, Cardinal* count) {
    for (Cardinal i = 0; i < *count; ++i) appendWord(w, params[i]);
}

XtActionsRec callBoxActions[] = {
    {const_cast<char*>("sendOver"), sendOver},
    {const_cast<char*>("sendHisCall"), sendHisCall},
    {const_cast<char*>("sendMacro"), sendMacro},
};

}  // namespace

void useCallBoxKey(key_t key) { callBoxKey = key; }

void registerCallBoxActions(XtAppContext app, const AppResources* resources) {
    actionResources = resources;
    XtAppAddActions(app, callBoxActions, std::size(callBoxActions));
}
