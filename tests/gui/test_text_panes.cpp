// The receive and transmit panes: what is shown, what is sent, scroll hold,
// the pop-up "Clear" menus.
#include <gtest/gtest.h>

#include <Xm/RowColumn.h>
#include <Xm/ScrollBar.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>

#include <string>

#include "app/resources.h"
#include "fakes/server_fake.h"
#include "gui/text_panes.h"
#include "gui_app.h"

namespace {

void putAll(const std::string& text, int zero = 0, int mode = XmHIGHLIGHT_NORMAL) {
    for (char c : text) putRxChar(mainWindow.panes.rx.text, c, zero, mode);
}

void typeInto(const std::string& text) {
    XmTextInsert(mainWindow.panes.txText, XmTextGetLastPosition(mainWindow.panes.txText),
                 const_cast<char*>(text.c_str()));
}

// Sets the receive scroll bar as a drag by the operator would, with its callbacks.
void scrollTo(int value) {
    int sliderSize = 0;
    int increment = 0;
    int pageIncrement = 0;
    int ignored = 0;
    XmScrollBarGetValues(mainWindow.panes.rx.scrollBar, &ignored, &sliderSize, &increment,
                         &pageIncrement);
    XmScrollBarSetValues(mainWindow.panes.rx.scrollBar, value, sliderSize, increment, pageIncrement,
                         True);
    settle();
}

int scrollMaximumValue() {
    int maximum = 0;
    int sliderSize = 0;
    XtVaGetValues(mainWindow.panes.rx.scrollBar, XmNmaximum, &maximum, XmNsliderSize, &sliderSize,
                  nullptr);
    return maximum - sliderSize;
}

class Panes : public ::testing::Test {
protected:
    void SetUp() override { resetPanes(); }
};

}  // namespace

TEST_F(Panes, ReceivedBackspaceAndDelRemoveTheLastCharacter) {
    putRxChar(mainWindow.panes.rx.text, 8, 0, XmHIGHLIGHT_NORMAL);  // into an empty pane
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "");
    putAll("ab\ncd");
    putRxChar(mainWindow.panes.rx.text, 127, 0, XmHIGHLIGHT_NORMAL);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "ab\nc");
    putAll("\b\b");
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "ab");  // the newline went too
    putRxChar(mainWindow.panes.rx.text, 0, 0, XmHIGHLIGHT_NORMAL);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "ab");  // NUL shows nothing
}

TEST_F(Panes, SlashedZeroAndLocalCapsAreDisplayOnly) {
    putAll("a0", 1);
    putAll("0", 2);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "a\xD8" "0");

    XmToggleButtonSetState(mainWindow.localCapsItem, True, True);  // Ctrl-L
    EXPECT_EQ(mainWindow.panes.look.localCaps, 1);
    putAll("de n0call");
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "a\xD8" "0DE N0CALL");

    appResources.zero = 1;
    typeInto("cq 0");
    EXPECT_EQ(fakeServer.sent, "cq 0");
    EXPECT_EQ(textOf(mainWindow.panes.txText), "CQ \xD8");
    XmToggleButtonSetState(mainWindow.localCapsItem, False, True);
    EXPECT_EQ(mainWindow.panes.look.localCaps, 0);
}

TEST_F(Panes, BytesAbove127ShowAsTheirLatin1Characters) {
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high += static_cast<char>(c);
    putAll(high + "\n");
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), high + "\n");

    // Each character takes its place on the line: none is cut off or left out.
    resetPanes();
    const std::string line = "caf\xE9 na\xEFve \xB0" "C \xD8 end of two";
    putAll(line);
    settle();
    Position previous = -1;
    for (XmTextPosition p = 0; p <= static_cast<XmTextPosition>(line.size()); ++p) {
        Position x = 0;
        Position y = 0;
        ASSERT_TRUE(XmTextPosToXY(mainWindow.panes.rx.text, p, &x, &y));
        EXPECT_GT(x, previous) << "at " << p;
        previous = x;
    }
}

TEST_F(Panes, EchoIsHighlightedNewlinesNever) {
    putAll("rx");
    putAll("TX\n", 0, XmHIGHLIGHT_SELECTED);
    putAll("u");
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "rxTX\nu");
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 1), XmHIGHLIGHT_NORMAL);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 2), XmHIGHLIGHT_SELECTED);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 3), XmHIGHLIGHT_SELECTED);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 4), XmHIGHLIGHT_NORMAL);  // the newline
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 5), XmHIGHLIGHT_NORMAL);
}

TEST_F(Panes, ScrollHoldStopsFollowingAndMarksThePane) {
    for (int i = 0; i < 100; ++i) putAll("line " + std::to_string(i) + "\n");
    settle();
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.rx.text),
              XmTextGetLastPosition(mainWindow.panes.rx.text));
    ASSERT_GT(scrollMaximumValue(), 0);

    scrollTo(0);
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 1);
    EXPECT_EQ(backgroundOf(mainWindow.panes.rx.text), mainWindow.panes.look.markColor);
    const XmTextPosition top = XmTextGetTopCharacter(mainWindow.panes.rx.text);
    putAll("more text arriving\n");
    settle();
    EXPECT_EQ(XmTextGetTopCharacter(mainWindow.panes.rx.text), top);

    scrollTo(scrollMaximumValue());
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 0);
    EXPECT_EQ(backgroundOf(mainWindow.panes.rx.text), mainWindow.panes.look.plainColor);
    putAll("x");
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.rx.text),
              XmTextGetLastPosition(mainWindow.panes.rx.text));
}

TEST_F(Panes, TypedTextIsSentAtOnceAndDeletionsBeforeTheEndAsOneBackspace) {
    typeInto("0123456789 hi");
    EXPECT_EQ(fakeServer.sent, "0123456789 hi");
    fakeServer.sent.clear();

    XmTextReplace(mainWindow.panes.txText, 0, 10, const_cast<char*>(""));  // ten at once
    EXPECT_EQ(fakeServer.sent, "\b");
    EXPECT_EQ(textOf(mainWindow.panes.txText), " hi");

    fakeServer.sent.clear();
    XmTextReplace(mainWindow.panes.txText, 1, 3, const_cast<char*>("yo"));  // over a selection
    EXPECT_EQ(fakeServer.sent, "yo");
    EXPECT_EQ(textOf(mainWindow.panes.txText), " yo");

    fakeServer.sent.clear();
    putTxChar(mainWindow.panes.txText, '!');
    EXPECT_EQ(fakeServer.sent, "!");
    EXPECT_EQ(textOf(mainWindow.panes.txText), " yo!");
}

// Typed or pasted text beyond Latin-1 has no byte to send: it goes out as "?".
TEST_F(Panes, TypedCharactersReachTheTransmitterAsLatin1Bytes) {
    typeInto("caf\xC3\xA9 \xC2\xB0" "C \xE2\x82\xAC" "5");  // UTF-8 "café °C €5"
    EXPECT_EQ(fakeServer.sent, "caf\xE9 \xB0" "C ?5");
    EXPECT_EQ(textOf(mainWindow.panes.txText), "caf\xE9 \xB0" "C ?5");
}

// At the end of the text a deletion takes back every character it removed: the
// transmitter cancels those still queued and backspaces over those already sent.
TEST_F(Panes, DeletionAtTheEndTakesBackEveryCharacter) {
    typeInto("typed ahead");
    fakeServer.sent.clear();
    XtCallCallbacks(XtNameToWidget(mainWindow.panes.clearTx.menu, "button_0"), XmNactivateCallback,
                    nullptr);
    EXPECT_EQ(fakeServer.sent, std::string(11, '\b'));

    typeInto("hello world");
    fakeServer.sent.clear();
    XmTextReplace(mainWindow.panes.txText, 4, 11, const_cast<char*>(""));  // "o world"
    EXPECT_EQ(fakeServer.sent, std::string(7, '\b'));
    EXPECT_EQ(textOf(mainWindow.panes.txText), "hell");
    XmTextReplace(mainWindow.panes.txText, 3, 4, const_cast<char*>(""));
    EXPECT_EQ(fakeServer.sent, std::string(8, '\b'));
}

TEST_F(Panes, NulIsSentAsDelete) {
    wchar_t typed[] = {L'a', L'\0', L'b'};
    XmTextBlockRecWcs block{typed, 3};
    XmTextVerifyCallbackStructWcs verify{};
    verify.reason = XmCR_MODIFYING_TEXT_VALUE;
    verify.doit = True;
    verify.text = &block;
    XtCallCallbacks(mainWindow.panes.txText, XmNmodifyVerifyCallbackWcs, &verify);
    EXPECT_EQ(fakeServer.sent, std::string("a\x7f" "b"));

    verify.reason = XmCR_ACTIVATE;
    testing::internal::CaptureStderr();
    XtCallCallbacks(mainWindow.panes.txText, XmNmotionVerifyCallback, &verify);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unexpected TxText callback reason\n");
}

TEST_F(Panes, CursorGoesBackOneCharacterAtMost) {
    typeInto("hello world");
    const XmTextPosition end = XmTextGetLastPosition(mainWindow.panes.txText);
    XmTextSetInsertionPosition(mainWindow.panes.txText, end);
    XmTextSetInsertionPosition(mainWindow.panes.txText, end - 1);
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.txText), end - 1);
    XmTextSetInsertionPosition(mainWindow.panes.txText, 2);  // a click into sent text
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.txText), end - 1);
    XmTextSetInsertionPosition(mainWindow.panes.txText, end);
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.txText), end);
}

TEST_F(Panes, ButtonThreePostsTheClearMenu) {
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.display = XtDisplay(mainWindow.panes.rx.text);
    event.xbutton.window = XtWindow(mainWindow.panes.rx.text);
    event.xbutton.x_root = 100;
    event.xbutton.y_root = 100;
    Boolean goOn = True;
    event.xbutton.button = 1;
    popupCB(mainWindow.panes.rx.text, mainWindow.panes.rx.clear.menu, &event, &goOn);
    EXPECT_FALSE(XtIsManaged(mainWindow.panes.rx.clear.menu));
    event.xbutton.button = 3;
    popupCB(mainWindow.panes.rx.text, mainWindow.panes.rx.clear.menu, &event, &goOn);
    EXPECT_TRUE(XtIsManaged(mainWindow.panes.rx.clear.menu));
    XtUnmanageChild(mainWindow.panes.rx.clear.menu);
    settle();
}

TEST_F(Panes, ClearEmptiesThePaneAndReleasesTheHold) {
    Widget clearRx = XtNameToWidget(mainWindow.panes.rx.clear.menu, "button_0");
    Widget clearTx = XtNameToWidget(mainWindow.panes.clearTx.menu, "button_0");
    ASSERT_NE(clearRx, nullptr);
    ASSERT_NE(clearTx, nullptr);
    Pixel menuForeground = 0;
    XtVaGetValues(mainWindow.panes.rx.clear.menu, XmNforeground, &menuForeground, nullptr);

    putAll("some text\n");
    mainWindow.panes.rx.scrolledBack = 1;
    XtCallCallbacks(clearRx, XmNactivateCallback, nullptr);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "");
    EXPECT_EQ(XmTextGetInsertionPosition(mainWindow.panes.rx.text), 0);
    EXPECT_EQ(backgroundOf(mainWindow.panes.rx.text), menuForeground);
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 0);

    typeInto("abc");
    fakeServer.sent.clear();
    mainWindow.panes.rx.scrolledBack = 1;
    XtCallCallbacks(clearTx, XmNactivateCallback, nullptr);
    EXPECT_EQ(textOf(mainWindow.panes.txText), "");
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 0);
}
