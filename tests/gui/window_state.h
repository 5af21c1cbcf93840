// Puts back what a test of the controls changed in the one main window of the
// test process (toggles, fields, the display record, the operating state), so
// that tests that run after it in the same process see the window as built.
#pragma once

#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <string>
#include <utility>
#include <vector>

#include "app/poll.h"
#include "app/resources.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui/main_window.h"

class WindowState {
public:
    WindowState()
        : resources_(appResources),
          display_(mainWindow.tuning.view),
          trState_(mainWindow.controls.trState),
          lastShown_(mainWindow.controls.rxFreq.shownFrequency),
          rx_(text(mainWindow.controls.rxFreq.text)),
          tx_(text(mainWindow.controls.txFreq.text)) {
        const MainWindow& mw = mainWindow;
        for (Widget w : {mw.controls.cwIdTB, mw.controls.txFreq.toggle, mw.controls.rxFreq.toggle,
                         mw.controls.dcdTB, mw.controls.qpskTB, mw.controls.lsbTB, mw.flowUpItem,
                         mw.controls.recvTB, mw.controls.xmitTB, mw.controls.tuneTB,
                         mw.tuning.saTB, mw.tuning.wfTB, mw.tuning.broadTB, mw.tuning.mediumTB,
                         mw.tuning.narrowTB}) {
            toggles_.emplace_back(w, XmToggleButtonGetState(w));
        }
    }
    ~WindowState() {
        for (const auto& [w, set] : toggles_) XmToggleButtonSetState(w, set, False);
        setFrequencyText(mainWindow.controls.rxFreq.text, rx_.c_str());
        setFrequencyText(mainWindow.controls.txFreq.text, tx_.c_str());
        XtVaSetValues(mainWindow.controls.rxFreq.text, XmNbackground,
                      mainWindow.panes.look.plainColor, nullptr);
        mainWindow.controls.rxFreq.focused = 0;
        appResources = resources_;
        mainWindow.tuning.view = display_;
        mainWindow.controls.trState = trState_;
        mainWindow.controls.rxFreq.shownFrequency = lastShown_;
        showTrState(&mainWindow.controls);
    }
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

private:
    static std::string text(Widget field) {
        char* value = XmTextFieldGetString(field);
        std::string result = value;
        XtFree(value);
        return result;
    }

    AppResources resources_;
    VordaDisplay display_;
    int trState_;
    float lastShown_;
    std::string rx_;
    std::string tx_;
    std::vector<std::pair<Widget, Boolean>> toggles_;
};
