#include "app/error_dialog.h"

#include <Xm/MessageB.h>
#include <Xm/MwmUtil.h>
#include <Xm/Xm.h>

#include <cstdlib>

#include "gui/icon.h"

#ifndef VORDA_CONTACT_ADDRESS
#define VORDA_CONTACT_ADDRESS "root@localhost"
#endif
const char* const contactAddress = VORDA_CONTACT_ADDRESS;

namespace {

void exitCB(Widget, XtPointer, XtPointer) { std::exit(1); }

// The dialog closes itself; Cancel means "go on".
void cancelCB(Widget, XtPointer, XtPointer) {}

}  // namespace

Widget errorDialog(Widget parent, const char* message, int withCancel, int isError) {
    Widget box = isError == 1 ? XmCreateErrorDialog(parent, const_cast<char*>("errDiag"), nullptr, 0)
                              : XmCreateWarningDialog(parent, const_cast<char*>("errDiag"), nullptr, 0);
    XtVaSetValues(XtParent(box), XmNtitle, "VORDA ERROR", XmNiconPixmap, programIcon(),
                  XmNmwmFunctions, MWM_FUNC_ALL | MWM_FUNC_CLOSE, nullptr);
    XmString text = XmStringCreateLtoR(const_cast<char*>(message),
                                       const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
    XtVaSetValues(box, XmNdialogStyle, XmDIALOG_PRIMARY_APPLICATION_MODAL, XmNmessageString, text,
                  nullptr);
    XmStringFree(text);
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON));
    XtAddCallback(box, XmNokCallback, exitCB, nullptr);
    if (withCancel == 1) {
        XtAddCallback(box, XmNcancelCallback, cancelCB, nullptr);
    } else {
        XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    }
    XtManageChild(box);
    return box;
}
