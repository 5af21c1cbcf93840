#include "gui/text_panes.h"

#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "gui/console_settings.h"
#include "server/server.h"

namespace {

constexpr wchar_t SLASHED_ZERO = 0xD8;  // Latin-1 O with stroke
constexpr wchar_t LAST_LATIN1 = 0xFF;

char shownChar(const PaneLook* look, char c) {
    if (look != nullptr && look->localCaps == 1) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return c;
}

// Latin-1 is the first 256 characters of Unicode, the wide characters of every
// UTF-8 locale.
wchar_t latin1(char c) { return static_cast<unsigned char>(c); }

bool utf8CharacterType() {
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// A deletion that ends at the end of the text takes back every character it
// removed: the transmitter cancels those still queued and sends a backspace for
// each one already sent. Anywhere else one backspace, as for a single character.
void sendDeletion(Widget pane, const XmTextVerifyCallbackStructWcs* verify) {
    const long removed = verify->endPos - verify->startPos;
    const bool atEnd = verify->endPos == XmTextGetLastPosition(pane);
    const std::string backspaces(atEnd && removed > 1 ? removed : 1, '\b');
    server_send_text(backspaces.data(), static_cast<int32_t>(backspaces.size()));
}

}  // namespace

void useCharacterLocale() {
    // With a single-byte character type Motif keeps the text as bytes and draws
    // it as UTF-8 with its Xft fonts: a byte above 127 ends the drawing of its
    // line. A UTF-8 character type makes the widgets hold wide characters.
    if (std::setlocale(LC_CTYPE, "") == nullptr || !utf8CharacterType() ||
        XSupportsLocale() == False) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    XSetLocaleModifiers("");
}

void putRxChar(Widget pane, char c, int zeroFlag, int mode) {
    XtPointer data = nullptr;
    XtVaGetValues(pane, XmNuserData, &data, nullptr);
    auto* owner = static_cast<ReceivePane*>(data);
    c = shownChar(owner != nullptr ? owner->look : nullptr, c);
    XmTextDisableRedisplay(pane);
    const XmTextPosition p = XmTextGetLastPosition(pane);
    wchar_t text[2] = {latin1(c), L'\0'};
    if (c == '0' && zeroFlag == 1) {
        text[0] = SLASHED_ZERO;
        XmTextInsertWcs(pane, p, text);
    } else if (c == 127 || c == 8) {
        if (p > 0) XmTextReplace(pane, p - 1, p, const_cast<char*>(""));
    } else if (c != 0) {
        XmTextInsertWcs(pane, p, text);
    }

    if (owner != nullptr && owner->scrolledBack != 1) {
        XmTextShowPosition(pane, p + 1);
        XmTextSetInsertionPosition(pane, p + 1);
    }
    if (text[0] != L'\n') XmTextSetHighlight(pane, p, p + 1, static_cast<XmHighlightMode>(mode));
    XmTextEnableRedisplay(pane);
}

void putRxLine(Widget pane, const char* text) {
    const XmTextPosition end = XmTextGetLastPosition(pane);
    char last[8] = "\n";
    if (end > 0 && XmTextGetSubstring(pane, end - 1, 1, sizeof last, last) == XmCOPY_SUCCEEDED &&
        last[0] != '\n') {
        putRxChar(pane, '\n', 0, XmHIGHLIGHT_NORMAL);
    }
    for (const char* c = text; *c != '\0'; ++c) putRxChar(pane, *c, 0, XmHIGHLIGHT_NORMAL);
}

void putTxChar(Widget pane, char c) {
    const XmTextPosition p = XmTextGetLastPosition(pane);
    XmTextSetInsertionPosition(pane, p);
    wchar_t text[2] = {latin1(c), L'\0'};
    XmTextInsertWcs(pane, p, text);
}

namespace {

void txTextCB(Widget w, XtPointer clientData, XtPointer callData) {
    const auto* panes = static_cast<const TextPanes*>(clientData);
    auto* verify = static_cast<XmTextVerifyCallbackStruct*>(callData);
    switch (verify->reason) {
        case XmCR_MODIFYING_TEXT_VALUE: {
            // Installed as the wide-character verify handler: the block holds
            // characters, whatever the locale encodes them as.
            auto* change = static_cast<XmTextVerifyCallbackStructWcs*>(callData);
            XmTextBlockWcs block = change->text;
            if (block == nullptr || block->length == 0) {
                sendDeletion(w, change);
                return;
            }
            for (int i = 0; i < block->length; ++i) {
                // Beyond Latin-1 there is no byte to send: a "?" goes out and shows.
                const wchar_t typed = block->wcsptr[i] > LAST_LATIN1 ? L'?' : block->wcsptr[i];
                const char sent =
                    typed == L'\0' ? static_cast<char>(127) : static_cast<char>(typed);
                server_send_text(&sent, 1);
                block->wcsptr[i] = typed == L'0' && panes->resources->zero == 1
                                       ? SLASHED_ZERO
                                       : latin1(shownChar(&panes->look, static_cast<char>(typed)));
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

void scrollCB(Widget scrollBar, XtPointer clientData, XtPointer) {
    auto* owner = static_cast<ReceivePane*>(clientData);
    int maximum = 0;
    int value = 0;
    int sliderSize = 0;
    XtVaGetValues(scrollBar, XmNmaximum, &maximum, XmNvalue, &value, XmNsliderSize, &sliderSize,
                  nullptr);
    const bool atEnd = value + sliderSize == maximum;
    XtVaSetValues(owner->text, XmNbackground,
                  atEnd ? owner->look->plainColor : owner->look->markColor, nullptr);
    owner->scrolledBack = atEnd ? 0 : 1;
}

void clearCB(Widget item, XtPointer, XtPointer) {
    Widget menu = XtParent(item);
    XtPointer data = nullptr;
    Pixel foreground = 0;
    XtVaGetValues(menu, XmNuserData, &data, XmNforeground, &foreground, nullptr);
    const auto* clear = static_cast<const ClearMenu*>(data);
    XmTextSetString(clear->pane, const_cast<char*>(""));
    XmTextSetInsertionPosition(clear->pane, 0);
    XtVaSetValues(clear->pane, XmNbackground, foreground, nullptr);
    *clear->scrollHold = 0;
}

}  // namespace

void clear_menu_create(ClearMenu* clear, Widget parent, const char* name, const char* title,
                       Widget pane, int* scrollHold) {
    clear->pane = pane;
    clear->scrollHold = scrollHold;
    XmString titleText = XmStringCreateLocalized(const_cast<char*>(title));
    XmString clearText = XmStringCreateLocalized(const_cast<char*>("Clear"));
    XmString acceleratorText = XmStringCreateLocalized(const_cast<char*>("Ctrl-C"));
    clear->menu = XmVaCreateSimplePopupMenu(
        parent, const_cast<char*>(name), clearCB, XmVaTITLE, titleText, XmVaSEPARATOR,
        XmVaPUSHBUTTON, clearText, 'C', "Ctrl<Key>c", acceleratorText, XmNuserData, clear,
        nullptr);
    XmStringFree(titleText);
    XmStringFree(clearText);
    XmStringFree(acceleratorText);
}

void receive_pane_attach(ReceivePane* pane) {
    const char* scrollLists[] = {XmNdragCallback,          XmNincrementCallback,
                                 XmNdecrementCallback,     XmNpageIncrementCallback,
                                 XmNpageDecrementCallback, XmNtoTopCallback,
                                 XmNtoBottomCallback,      XmNvalueChangedCallback};
    for (const char* list : scrollLists) XtAddCallback(pane->scrollBar, list, scrollCB, pane);
}

void panes_attach(TextPanes* panes) {
    XtAddCallback(panes->txText, XmNmodifyVerifyCallbackWcs, txTextCB, panes);
    XtAddCallback(panes->txText, XmNmotionVerifyCallback, txTextCB, panes);
    receive_pane_attach(&panes->rx);
    XtAddEventHandler(panes->rx.text, ButtonPressMask, False, popupCB, panes->rx.clear.menu);
    XtAddEventHandler(panes->rxTextSW, ButtonPressMask, False, popupCB, panes->rx.clear.menu);
    XtAddEventHandler(panes->txText, ButtonPressMask, False, popupCB, panes->clearTx.menu);
    XtAddEventHandler(panes->txTextSW, ButtonPressMask, False, popupCB, panes->clearTx.menu);
}

void popupCB(Widget, XtPointer menu, XEvent* event, Boolean*) {
    if (event->type != ButtonPress || event->xbutton.button != 3) return;
    Widget popup = static_cast<Widget>(menu);
    XmMenuPosition(popup, &event->xbutton);
    XtManageChild(popup);
}
