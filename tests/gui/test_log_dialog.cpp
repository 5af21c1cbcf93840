// The VORDA LOG dialog as Ctrl-K opens it: what it is filled in with, and a contact
// it refuses kept open with the reason.
#include <gtest/gtest.h>

#include <Xm/Label.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>

#include "gui_app.h"
#include "gui/log_dialog.h"

namespace {

TEST(LogDialog, CallComesFromAOneWordSelectionOrElseTheCallBox) {
    struct call_case {
        const char* selection;
        const char* callBox;
        const char* call;
    } cases[] = {
        {" dl1abc, ", "G4XYZ", "DL1ABC"},
        {"pa3abc/p", "", "PA3ABC/P"},
        {"cq de dl1abc", "g4xyz", "G4XYZ"},  // not one word
        {"", "g4xyz ", "G4XYZ"},
        {"", "", ""},
    };
    for (const call_case& c : cases) {
        EXPECT_STREQ(log_call_from(c.selection, c.callBox), c.call) << c.selection;
    }
}

TEST(LogDialog, OpensFilledInAndKeepsARefusedContactOpen) {
    guiApp();
    resetPanes();
    XmTextSetString(mainWindow.panes.rx.text, const_cast<char*>("cq de dl1abc pse k"));
    XmTextSetSelection(mainWindow.panes.rx.text, 6, 12, CurrentTime);
    fakeServer.dial = {7040000, 1};  // LSB: 1000 Hz audio is 7039 kHz
    log_dialog_open(&mainWindow);
    settle();
    LogDialog& d = mainWindow.log;
    ASSERT_TRUE(XtIsManaged(d.dialog));
    const char* expected[11] = {"DL1ABC", nullptr, nullptr, "7.039000", "40m", "PSK",
                                "PSK31",  "599",   "599",   "",         ""};
    for (int i = 0; i < 11; ++i) {
        if (expected[i] != nullptr) {
            EXPECT_EQ(textOf(d.fields[i]), expected[i]) << logFieldNames[i];
        }
    }
    EXPECT_EQ(textOf(d.fields[1]).size(), 8u);  // YYYYMMDD
    EXPECT_EQ(textOf(d.fields[2]).size(), 6u);  // HHMMSS

    XmTextFieldSetString(d.fields[0], const_cast<char*>("dl1 abc"));
    XtCallCallbacks(d.fields[9], XmNactivateCallback, nullptr);  // Enter in NAME
    settle();
    EXPECT_TRUE(XtIsManaged(d.dialog)) << "a refused contact closed the dialog";
    EXPECT_EQ(textOf(d.fields[0]), "dl1 abc") << "what was typed is kept";
    XmString label = nullptr;
    XtVaGetValues(d.message, XmNlabelString, &label, nullptr);
    char* said = nullptr;
    XmStringGetLtoR(label, XmFONTLIST_DEFAULT_TAG, &said);
    EXPECT_STREQ(said, "'DL1 ABC' is not a call sign");
    XtFree(said);
    XmStringFree(label);
    XtUnmanageChild(d.dialog);
    fakeServer.dial = {0, 0};
}

}  // namespace
