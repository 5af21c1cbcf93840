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
        : resources_(appResources), display_(vordaDisplay), trState_(trState),
          lastShown_(lastShownRxFreq), rx_(text(mainWindow.rxFreqText)),
          tx_(text(mainWindow.txFreqText)) {
        const MainWindow& mw = mainWindow;
        for (Widget w : {mw.cwIdTB, mw.netTB, mw.afcTB, mw.dcdTB, mw.qpskTB, mw.lsbTB,
                         mw.flowUpItem, mw.recvTB, mw.xmitTB, mw.tuneTB, mw.saTB, mw.wfTB,
                         mw.broadTB, mw.mediumTB, mw.narrowTB}) {
            toggles_.emplace_back(w, XmToggleButtonGetState(w));
        }
    }
    ~WindowState() {
        for (const auto& [w, set] : toggles_) XmToggleButtonSetState(w, set, False);
        setFrequencyText(mainWindow.rxFreqText, rx_.c_str());
        setFrequencyText(mainWindow.txFreqText, tx_.c_str());
        XtVaSetValues(mainWindow.rxFreqText, XmNbackground, plainColor, nullptr);
        mainWindow.rxFreqFocused = 0;
        appResources = resources_;
        vordaDisplay = display_;
        trState = trState_;
        lastShownRxFreq = lastShown_;
        showTrState();
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
