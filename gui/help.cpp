#include "gui/help.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/MessageB.h>
#include <Xm/MwmUtil.h>
#include <Xm/PushB.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstdint>
#include <string>

#include "gui/help_search.h"
#include "gui/help_text.h"
#include "gui/icon.h"

namespace {

HelpWindow window = {};

Widget parentShell = nullptr;
help_search search;

XmString compound(const char* text) {
    return XmStringCreateLtoR(const_cast<char*>(text), const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
}

// Information box with OK alone and a centred message.
Widget createInfoBox(Widget parent, const char* name, const char* title, const char* message) {
    Widget box = XmCreateInformationDialog(parent, const_cast<char*>(name), nullptr, 0);
    XtVaSetValues(XtParent(box), XmNtitle, title, XmNiconPixmap, programIcon(), XmNmwmDecorations,
                  MWM_DECOR_ALL | MWM_DECOR_RESIZEH, nullptr);
    XmString text = compound(message);
    XtVaSetValues(box, XmNmessageAlignment, XmALIGNMENT_CENTER, XmNmessageString, text, nullptr);
    XmStringFree(text);
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_CANCEL_BUTTON));
    XtUnmanageChild(XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON));
    return box;
}

void showSection(int section) {
    XmString title = compound(helpTitles()[section]);
    XtVaSetValues(window.topicLabel, XmNlabelString, title, nullptr);
    XmStringFree(title);
    XmTextSetString(window.helpTxt, const_cast<char*>(helpTexts()[section]));
}

void showWalkedSection(int section, void*) { showSection(section); }

void showNotFound() {
    HelpWindow& h = window;
    if (h.noMatchError == nullptr) {
        h.noMatchError = createInfoBox(XtParent(h.helpDiag), "noMatchError", "VORDA HELP",
                                       "String Not Found");
    }
    XtSetSensitive(h.findAgain, False);
    XtManageChild(h.noMatchError);
}

void findPromptCB(Widget, XtPointer, XtPointer) {
    HelpWindow& h = window;
    if (h.findPrompt == nullptr) {
        Widget shell = XtParent(h.helpDiag);
        h.findPrompt = XmCreatePromptDialog(shell, const_cast<char*>("promptDiag"), nullptr, 0);
        XtVaSetValues(XtParent(h.findPrompt), XmNtitle, "VORDA HELP", XmNiconPixmap, programIcon(),
                      XmNmwmFunctions, MWM_FUNC_ALL | MWM_FUNC_CLOSE, nullptr);
        XtUnmanageChild(XmSelectionBoxGetChild(h.findPrompt, XmDIALOG_HELP_BUTTON));
        XtManageChild(XmSelectionBoxGetChild(h.findPrompt, XmDIALOG_APPLY_BUTTON));
        XmString label = compound("Enter Search String");
        XmString ok = compound("This Section");
        XmString apply = compound("All Sections");
        XtVaSetValues(h.findPrompt, XmNselectionLabelString, label, XmNokLabelString, ok,
                      XmNapplyLabelString, apply, nullptr);
        XmStringFree(label);
        XmStringFree(ok);
        XmStringFree(apply);
        XtAddCallback(h.findPrompt, XmNokCallback, helpFind,
                      reinterpret_cast<XtPointer>(static_cast<intptr_t>(kSearchThisSection)));
        XtAddCallback(h.findPrompt, XmNapplyCallback, helpFind,
                      reinterpret_cast<XtPointer>(static_cast<intptr_t>(kSearchAllSections)));
    }
    const XmTextPosition end = XmTextGetLastPosition(h.helpTxt);
    XmTextSetHighlight(h.helpTxt, 0, end, XmHIGHLIGHT_NORMAL);
    XtManageChild(h.findPrompt);
}

void closeCB(Widget, XtPointer, XtPointer) {
    XtSetSensitive(window.findAgain, False);
    XtUnmanageChild(window.helpDiag);
}

Widget createButton(Widget parent, const char* name) {
    return XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, parent, XmNwidth, 80,
                                   XmNtopAttachment, XmATTACH_FORM, XmNtopOffset, 10,
                                   XmNbottomAttachment, XmATTACH_FORM, XmNbottomOffset, 10,
                                   nullptr);
}

void buildHelpWindow() {
    HelpWindow& h = window;
    Arg args[1];
    XtSetArg(args[0], XmNdialogStyle, XmDIALOG_MODELESS);
    h.helpDiag = XmCreateFormDialog(parentShell, const_cast<char*>("helpDiag"), args, 1);
    XtVaSetValues(XtParent(h.helpDiag), XmNtitle, "VORDA HELP", XmNiconPixmap, programIcon(),
                  nullptr);

    h.topicLabel = XtVaCreateManagedWidget(
        "topicLabel", xmLabelWidgetClass, h.helpDiag, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);

    h.pbform = XtVaCreateWidget("pbform", xmFormWidgetClass, h.helpDiag, XmNwidth, 500,
                                XmNleftAttachment, XmATTACH_FORM, XmNbottomAttachment,
                                XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    h.find = createButton(h.pbform, "Find");
    XtVaSetValues(h.find, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, 10,
                  XmNrightAttachment, XmATTACH_POSITION, XmNrightPosition, 20, nullptr);
    h.findAgain = createButton(h.pbform, "Find Again");
    XtVaSetValues(h.findAgain, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, 50,
                  XmNleftOffset, -40, XmNsensitive, False, nullptr);
    h.close = createButton(h.pbform, "Close");
    XtVaSetValues(h.close, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, 80,
                  XmNrightAttachment, XmATTACH_POSITION, XmNrightPosition, 90, nullptr);
    XtManageChild(h.pbform);

    // Horizontal scrolling can only be refused at creation; set later, Motif ignores it
    // and the text would not wrap.
    Arg text[5];
    XtSetArg(text[0], XmNrows, 12);
    XtSetArg(text[1], XmNeditMode, XmMULTI_LINE_EDIT);
    XtSetArg(text[2], XmNeditable, False);
    XtSetArg(text[3], XmNwordWrap, True);
    XtSetArg(text[4], XmNscrollHorizontal, False);
    h.helpTxt = XmCreateScrolledText(h.helpDiag, const_cast<char*>("helpTxt"), text, 5);
    XtVaSetValues(XtParent(h.helpTxt), XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                  h.topicLabel, XmNbottomAttachment, XmATTACH_WIDGET, XmNbottomWidget, h.pbform,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM, nullptr);
    XtManageChild(h.helpTxt);

    XtAddCallback(h.find, XmNactivateCallback, findPromptCB, nullptr);
    XtAddCallback(h.findAgain, XmNactivateCallback, helpFind,
                  reinterpret_cast<XtPointer>(static_cast<intptr_t>(kSearchAgain)));
    XtAddCallback(h.close, XmNactivateCallback, closeCB, nullptr);
}

Widget rootShell(Widget w) {
    while (XtParent(w) != nullptr) w = XtParent(w);
    return w;
}

}  // namespace

void setHelpParent(Widget shell) { parentShell = shell; }

void showHelpItem(Widget item, int section) {
    if (parentShell == nullptr) parentShell = rootShell(item);
    if (section == 0) {
        showAbout();
    } else {
        showHelp(section);
    }
}

void showAbout() {
    if (parentShell == nullptr) return;  // nothing to hang the box on yet
    if (window.aboutDiag == nullptr) {
        window.aboutDiag = createInfoBox(parentShell, "aboutDiag", "ABOUT VORDA", aboutText());
    }
    XtManageChild(window.aboutDiag);
}

void showHelp(int section) {
    if (section < kHelpFirstSection || section > kHelpLastSection || parentShell == nullptr) {
        return;
    }
    if (window.helpDiag == nullptr) buildHelpWindow();
    help_open_section(search, section);
    showSection(section);
    XtManageChild(window.helpDiag);
}

void helpFind(Widget, XtPointer modeData, XtPointer) {
    HelpWindow& h = window;
    const int mode = static_cast<int>(reinterpret_cast<intptr_t>(modeData));
    if (mode == kSearchThisSection || mode == kSearchAllSections) {
        Widget field = XmSelectionBoxGetChild(h.findPrompt, XmDIALOG_TEXT);
        char* typed = XmTextGetString(field);
        help_new_search(search, mode, typed != nullptr ? typed : "");
        XtFree(typed);
        XmTextSetString(field, const_cast<char*>(""));
        XtSetSensitive(h.findAgain, True);
        XtUnmanageChild(h.findPrompt);
    }
    const help_match m = help_find(search, helpTexts(), showWalkedSection, nullptr);
    if (!m.found) {
        showNotFound();
        return;
    }
    if (m.length > 0) {
        XmTextSetHighlight(h.helpTxt, m.offset, m.offset + m.length, XmHIGHLIGHT_SELECTED);
        XmTextShowPosition(h.helpTxt, m.offset);
    }
}

HelpWindow& helpWindow() { return window; }
