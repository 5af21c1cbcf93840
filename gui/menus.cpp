#include "gui/menus.h"

#include <Xm/CascadeB.h>
#include <Xm/PushB.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/Separator.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gui/console_settings.h"
#include "gui/help.h"
#include "gui/main_window.h"
#include "gui/qso_files.h"

namespace {

enum class MenuItemKind {
    push,       // push button: the handler runs on activation
    toggle,     // check box: the handler runs when it changes
    gadget,     // push-button gadget named button_<index>, as Help items have always been
    separator,
};

struct MenuItem {
    const char* name;             // widget name, and so the label unless `label` is given
    MenuItemKind kind;
    char mnemonic;                // 0: none
    const char* accelerator;      // translation syntax, or nullptr
    const char* acceleratorText;  // shown beside the label, or nullptr
    XtCallbackProc handler;
    XtPointer clientData;
    Widget* widget;               // where the item is recorded, or nullptr
    const char* label = nullptr;
};

MainWindow* windowOf(XtPointer clientData) { return static_cast<MainWindow*>(clientData); }

// A menu item that mirrors a toggle sets it with notification, as a click on
// the toggle does; the client data is where the toggle is recorded, since the
// menus are built before the controls.
void setToggleItemCB(Widget, XtPointer toggle, XtPointer) {
    XmToggleButtonSetState(*static_cast<Widget*>(toggle), True, True);
}

void videoCB(Widget, XtPointer clientData, XtPointer) {
    XtManageChild(windowOf(clientData)->tuning.videoDiag);
}

void flowUpCB(Widget, XtPointer clientData, XtPointer callData) {
    static_cast<VordaDisplay*>(clientData)->flowUp =
        static_cast<XmToggleButtonCallbackStruct*>(callData)->set != 0 ? 1 : 0;
}

void localCapsCB(Widget, XtPointer clientData, XtPointer callData) {
    static_cast<PaneLook*>(clientData)->localCaps =
        static_cast<XmToggleButtonCallbackStruct*>(callData)->set ? 1 : 0;
}

void openDecoderCB(Widget, XtPointer clientData, XtPointer) {
    decoder_open_on_main(windowOf(clientData));
}

void bandBrowserCB(Widget, XtPointer band, XtPointer) {
    band_window_toggle(static_cast<BandWindow*>(band));
}

void seekUpCB(Widget, XtPointer tuning, XtPointer) {
    seek_start(static_cast<TuningPanel*>(tuning), 'U');
}

void seekDownCB(Widget, XtPointer tuning, XtPointer) {
    seek_start(static_cast<TuningPanel*>(tuning), 'D');
}

void logContactCB(Widget, XtPointer clientData, XtPointer) {
    log_dialog_open(windowOf(clientData));
}

void haltCB(Widget, XtPointer tuning, XtPointer) { seek_halt(static_cast<TuningPanel*>(tuning)); }

// The client data is the item's index: 0 About, 1 to 10 the help sections.
void helpCB(Widget item, XtPointer index, XtPointer) {
    showHelpItem(item, static_cast<int>(reinterpret_cast<intptr_t>(index)));
}

XtPointer index(intptr_t i) { return reinterpret_cast<XtPointer>(i); }

void setAccelerator(Widget item, const char* accelerator, const char* acceleratorText) {
    XmString text = XmStringCreateLocalized(const_cast<char*>(acceleratorText));
    XtVaSetValues(item, XmNaccelerator, accelerator, XmNacceleratorText, text, nullptr);
    XmStringFree(text);
}

Widget createMenuButton(Widget menu, const char* name, char mnemonic, const char* accelerator,
                        const char* acceleratorText) {
    Widget button = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, menu, nullptr);
    if (mnemonic != 0) XtVaSetValues(button, XmNmnemonic, static_cast<KeySym>(mnemonic), nullptr);
    if (accelerator != nullptr) setAccelerator(button, accelerator, acceleratorText);
    return button;
}

template <std::size_t N>
void buildMenu(Widget menu, const MenuItem (&items)[N]) {
    for (const MenuItem& e : items) {
        Widget item = nullptr;
        switch (e.kind) {
            case MenuItemKind::separator:
                XtVaCreateManagedWidget(e.name, xmSeparatorWidgetClass, menu, nullptr);
                continue;
            case MenuItemKind::push:
                item = createMenuButton(menu, e.name, e.mnemonic, e.accelerator,
                                        e.acceleratorText);
                XtAddCallback(item, XmNactivateCallback, e.handler, e.clientData);
                break;
            case MenuItemKind::gadget: {
                XmString label = XmStringCreateLocalized(const_cast<char*>(e.label));
                item = XtVaCreateManagedWidget(e.name, xmPushButtonGadgetClass, menu,
                                               XmNlabelString, label, nullptr);
                XmStringFree(label);
                if (e.mnemonic != 0) {
                    XtVaSetValues(item, XmNmnemonic, static_cast<KeySym>(e.mnemonic), nullptr);
                }
                XtAddCallback(item, XmNactivateCallback, e.handler, e.clientData);
                break;
            }
            case MenuItemKind::toggle:
                item = XtVaCreateManagedWidget(e.name, xmToggleButtonWidgetClass, menu,
                                               XmNindicatorType, XmN_OF_MANY,
                                               XmNvisibleWhenOff, True, nullptr);
                if (e.mnemonic != 0) {
                    XtVaSetValues(item, XmNmnemonic, static_cast<KeySym>(e.mnemonic), nullptr);
                }
                setAccelerator(item, e.accelerator, e.acceleratorText);
                XtAddCallback(item, XmNvalueChangedCallback, e.handler, e.clientData);
                break;
        }
        if (e.widget != nullptr) *e.widget = item;
    }
}

Widget pulldown(Widget menuBar, const char* name) {
    Arg args[1];
    XtSetArg(args[0], XmNtearOffModel, XmTEAR_OFF_ENABLED);
    return XmCreatePulldownMenu(menuBar, const_cast<char*>(name), args, 1);
}

Widget cascade(Widget menuBar, const char* name, char mnemonic, Widget submenu) {
    Widget w = XtVaCreateManagedWidget(name, xmCascadeButtonWidgetClass, menuBar, XmNmnemonic,
                                       static_cast<KeySym>(mnemonic), nullptr);
    if (submenu != nullptr) XtVaSetValues(w, XmNsubMenuId, submenu, nullptr);
    return w;
}

void buildControlsMenu(MainWindow* mw) {
    using K = MenuItemKind;
    TrControls& c = mw->controls;
    TuningPanel& t = mw->tuning;
    const MenuItem items[] = {
        {"Video", K::push, 'V', "Ctrl<Key>V", "Ctrl-V", videoCB, mw, &mw->videoItem},
        {"sep", K::separator, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Recv", K::push, 'R', "Ctrl<Key>R", "Ctrl-R", setToggleItemCB, &c.recvTB, &mw->recvItem},
        {"Xmit", K::push, 'X', "Ctrl<Key>X", "Ctrl-X", setToggleItemCB, &c.xmitTB, &mw->xmitItem},
        {"Tune", K::push, 'T', "Ctrl<Key>T", "Ctrl-T", setToggleItemCB, &c.tuneTB, &mw->tuneItem},
        {"sep", K::separator, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Broad", K::push, 'B', "Ctrl<Key>B", "Ctrl-B", setToggleItemCB, &t.broadTB,
         &mw->broadItem},
        {"Medium", K::push, 'M', "Ctrl<Key>M", "Ctrl-M", setToggleItemCB, &t.mediumTB,
         &mw->mediumItem},
        {"Narrow", K::push, 'N', "Ctrl<Key>N", "Ctrl-N", setToggleItemCB, &t.narrowTB,
         &mw->narrowItem},
        {"sep", K::separator, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Spectrum", K::push, 'S', "Ctrl<Key>S", "Ctrl-S", setToggleItemCB, &t.saTB,
         &mw->spectrumItem},
        {"Waterfall", K::push, 'W', "Ctrl<Key>W", "Ctrl-W", setToggleItemCB, &t.wfTB,
         &mw->waterfallItem},
        {"Flow Up", K::toggle, 0, "Ctrl<Key>F", "Ctrl-F", flowUpCB, &t.view, &mw->flowUpItem},
        {"sep", K::separator, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Local Caps", K::toggle, 'L', "Ctrl<Key>L", "Ctrl-L", localCapsCB, &mw->panes.look,
         &mw->localCapsItem},
        {"sep", K::separator, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Open Decoder", K::push, 'O', "Ctrl<Key>O", "Ctrl-O", openDecoderCB, mw,
         &mw->openDecoderItem},
        {"Band Browser", K::push, 'a', "Ctrl<Key>A", "Ctrl-A", bandBrowserCB, &mw->band,
         &mw->bandItem},
    };
    buildMenu(mw->controlsPulldown, items);
}

void buildSeekMenu(MainWindow* mw) {
    using K = MenuItemKind;
    const MenuItem items[] = {
        {"Up", K::push, 'U', "Ctrl<Key>U", "Ctrl-U", seekUpCB, &mw->tuning, &mw->seekUpItem},
        {"Down", K::push, 'D', "Ctrl<Key>D", "Ctrl-D", seekDownCB, &mw->tuning, &mw->seekDownItem},
        {"Halt", K::push, 'H', "Ctrl<Key>H", "Ctrl-H", haltCB, &mw->tuning, &mw->haltItem},
    };
    buildMenu(mw->seekPulldown, items);
}

// The items are numbered 0 to 10; the help window takes that index.
void buildHelpMenu(MainWindow* mw) {
    using K = MenuItemKind;
    const MenuItem items[] = {
        {"button_0", K::gadget, 'A', nullptr, nullptr, helpCB, index(0), nullptr, "About"},
        {"button_1", K::gadget, 'I', nullptr, nullptr, helpCB, index(1), nullptr, "Introduction"},
        {"button_2", K::gadget, 'B', nullptr, nullptr, helpCB, index(2), nullptr, "Menu Bar"},
        {"button_3", K::gadget, 'H', nullptr, nullptr, helpCB, index(3), nullptr, "Help Windows"},
        {"button_4", K::gadget, 'M', nullptr, nullptr, helpCB, index(4), nullptr, "Main Window"},
        {"button_5", K::gadget, 'T', nullptr, nullptr, helpCB, index(5), nullptr, "Tuning"},
        {"button_6", K::gadget, 'W', nullptr, nullptr, helpCB, index(6), nullptr,
         "Secondary Windows"},
        {"button_7", K::gadget, 'S', nullptr, nullptr, helpCB, index(7), nullptr,
         "Sending Files"},
        {"button_8", K::gadget, 'C', nullptr, nullptr, helpCB, index(8), nullptr,
         "Macros Commands"},
        {"button_9", K::gadget, 'R', nullptr, nullptr, helpCB, index(9), nullptr, "Resources"},
        {"button_10", K::gadget, 'K', nullptr, nullptr, helpCB, index(10), nullptr,
         "Accelerator Keys"},
    };
    mw->helpMenu = XmCreatePulldownMenu(mw->menuBar, const_cast<char*>("helpMenu"), nullptr, 0);
    buildMenu(mw->helpMenu, items);
    XtVaSetValues(mw->helpCascade, XmNsubMenuId, mw->helpMenu, nullptr);
    XtVaSetValues(mw->helpMenu, XmNtearOffModel, XmTEAR_OFF_ENABLED, nullptr);
}

// QRT saves the state and ends the program: the program's own service.
void qrtCB(Widget, XtPointer clientData, XtPointer) {
    const MainWindow* mw = windowOf(clientData);
    mw->services.quit(mw);
}

}  // namespace

void createFileButtons(MainWindow* mw, char** names) {
    const int n = countNames(names);
    if (n > 9) {
        std::fputs("Too many file names defined in Vorda\n", stderr);
        // A configuration error, not a normal end.
        std::exit(1);
    }
    for (int i = 1; i <= n; ++i) {
        char accelerator[16];
        char acceleratorText[16];
        std::snprintf(accelerator, sizeof accelerator, "Ctrl<Key>%d", i);
        std::snprintf(acceleratorText, sizeof acceleratorText, "Ctrl-%d", i);
        mw->fileButtons[i - 1] =
            createMenuButton(mw->filePulldown, names[i - 1], 0, accelerator, acceleratorText);
        XtVaSetValues(mw->fileButtons[i - 1], XmNuserData, names[i - 1], nullptr);
        XtAddCallback(mw->fileButtons[i - 1], XmNactivateCallback, sendFileCB, mw);
    }
    mw->logContactItem =
        createMenuButton(mw->filePulldown, "Log Contact", 'L', "Ctrl<Key>K", "Ctrl-K");
    XtAddCallback(mw->logContactItem, XmNactivateCallback, logContactCB, mw);
    mw->fileSeparator = XtVaCreateManagedWidget("sep", xmSeparatorWidgetClass, mw->filePulldown,
                                                nullptr);
    mw->qrtButton = createMenuButton(mw->filePulldown, "QRT", 'Q', "Ctrl<Key>Q", "Ctrl-Q");
    XtVaSetValues(mw->qrtButton, XmNmnemonicCharSet, XmFONTLIST_DEFAULT_TAG, nullptr);
    XtAddCallback(mw->qrtButton, XmNactivateCallback, qrtCB, mw);
}

void createMenuBar(MainWindow* mw, AppResources* res) {
    mw->menuBar = XmCreateMenuBar(mw->mainForm, const_cast<char*>("menuBar"), nullptr, 0);
    mw->filePulldown = pulldown(mw->menuBar, "filePulldown");
    mw->controlsPulldown = pulldown(mw->menuBar, "controlsPulldown");
    mw->seekPulldown = pulldown(mw->menuBar, "SeekPulldown");
    mw->fileCascade = cascade(mw->menuBar, "File", 'F', mw->filePulldown);
    createFileButtons(mw, res->buttonNames);

    mw->controlsCascade = cascade(mw->menuBar, "Controls", 'C', mw->controlsPulldown);
    buildControlsMenu(mw);
    mw->tuning.view.flowUp = XmToggleButtonGetState(mw->flowUpItem) ? 1 : 0;
    mw->panes.look.localCaps = XmToggleButtonGetState(mw->localCapsItem) ? 1 : 0;

    mw->seekCascade = cascade(mw->menuBar, "Seek", 'S', mw->seekPulldown);
    buildSeekMenu(mw);
    mw->helpCascade = cascade(mw->menuBar, "Help", 'H', nullptr);
    buildHelpMenu(mw);

    XtVaSetValues(mw->menuBar, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget, mw->label1,
                  XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
                  XmNmenuHelpWidget, mw->helpCascade, nullptr);
}
