#include "gui/text_panes.h"

#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cctype>
#include <cstdio>

#include "app/resources.h"
#include "gui/main_window.h"
#include "gui/secondary.h"
#include "server/server.h"

namespace {

constexpr char SLASHED_ZERO = static_cast<char>(0xD8);  // Latin-1 O with stroke

char shownChar(char c) {
    if (mainWindow.localCaps == 1) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c;
}

}  // namespace

int* scrolledBackOf(XtPointer owner) {
    if (owner == &mainWindow) return &mainWindow.scrolledBack;
    return &static_cast<SecondaryDecoder*>(owner)->scrolledBack;
}

void putRxChar(Widget pane, char c, int zeroFlag, int mode) {
    c = shownChar(c);
    XmTextDisableRedisplay(pane);
    const XmTextPosition p = XmTextGetLastPosition(pane);
    char text[2] = {c, '\0'};
    if (c == '0' && zeroFlag == 1) {
        text[0] = SLASHED_ZERO;
        XmTextInsert(pane, p, text);
    } else if (c == 127 || c == 8) {
        if (p > 0) XmTextReplace(pane, p - 1, p, const_cast<char*>(""));
    } else if (c != 0) {
        XmTextInsert(pane, p, text);
    }

    XtPointer owner = nullptr;
    XtVaGetValues(pane, XmNuserData, &owner, nullptr);
    if (owner != nullptr && *scrolledBackOf(owner) != 1) {
        XmTextShowPosition(pane, p + 1);
        XmTextSetInsertionPosition(pane, p + 1);
    }
    if (text[0] != '\n') XmTextSetHighlight(pane, p, p + 1, static_cast<XmHighlightMode>(mode));
    XmTextEnableRedisplay(pane);
}

void putTxChar(char c) {
    Widget pane = mainWindow.txText;
    const XmTextPosition p = XmTextGetLastPosition(pane);
    XmTextSetInsertionPosition(pane, p);
    char text[2] = {c, '\0'};
    XmTextInsert(pane, p, text);
}

void txTextCB(Widget w, XtPointer, XtPointer callData) {
    auto* verify = static_cast<XmTextVerifyCallbackStruct*>(callData);
    switch (verify->reason) {
        case XmCR_MODIFYING_TEXT_VALUE: {
            XmTextBlock block = verify->text;
            if (block == nullptr || block->length == 0) {
                // One backspace for any deletion: the transmitter takes back one character.
                server_send_text("\b", 1);
                return;
            }
            for (int i = 0; i < block->length; ++i) {
                char c = block->ptr[i];
                const char sent = c == '\0' ? static_cast<char>(127) : c;
                server_send_text(&sent, 1);
                if (c == '0' && appResources.zero == 1) c = SLASHED_ZERO;
                block->ptr[i] = shownChar(c);
            }
            return;
        }
        case XmCR_MOVING_INSERT_CURSOR:
            // Forward, or back by one character; never further back into sent text.
            if (XmTextGetLastPosition(w) != 0 && verify->newInsert < verify->currInsert - 1) {
                verify->doit = False;
            }
            return;
        default:
            std::fputs("Unexpected TxText callback reason\n", stderr);
            return;
    }
}

void localCapsCB(Widget, XtPointer, XtPointer callData) {
    auto* state = static_cast<XmToggleButtonCallbackStruct*>(callData);
    mainWindow.localCaps = state->set ? 1 : 0;
}

void scrollCB(Widget scrollBar, XtPointer owner, XtPointer) {
    Widget pane = owner == &mainWindow ? mainWindow.rxText
                                       : static_cast<SecondaryDecoder*>(owner)->rxText;
    int maximum = 0;
    int value = 0;
    int sliderSize = 0;
    XtVaGetValues(scrollBar, XmNmaximum, &maximum, XmNvalue, &value, XmNsliderSize, &sliderSize,
                  nullptr);
    const bool atEnd = value + sliderSize == maximum;
    XtVaSetValues(pane, XmNbackground, atEnd ? plainColor : markColor, nullptr);
    *scrolledBackOf(owner) = atEnd ? 0 : 1;
}

void popupCB(Widget, XtPointer menu, XEvent* event, Boolean*) {
    if (event->type != ButtonPress || event->xbutton.button != 3) return;
    Widget popup = static_cast<Widget>(menu);
    XmMenuPosition(popup, &event->xbutton);
    XtManageChild(popup);
}

void clearCB(Widget item, XtPointer, XtPointer) {
    Widget menu = XtParent(item);
    Widget pane = nullptr;
    Pixel foreground = 0;
    XtVaGetValues(menu, XmNuserData, &pane, XmNforeground, &foreground, nullptr);
    XmTextSetString(pane, const_cast<char*>(""));
    XmTextSetInsertionPosition(pane, 0);
    XtVaSetValues(pane, XmNbackground, foreground, nullptr);
    if (pane == mainWindow.rxText || pane == mainWindow.txText) {
        mainWindow.scrolledBack = 0;
    } else {
        XtPointer owner = nullptr;
        XtVaGetValues(pane, XmNuserData, &owner, nullptr);
        *scrolledBackOf(owner) = 0;
    }
}
