#include "x_helpers.h"

#include <Xm/PushB.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>

#include <chrono>

namespace {

bool wakeUpArmed = false;
void wakeUp(XtPointer, XtIntervalId*) { wakeUpArmed = false; }

// One turn of the loop. A timer guarantees the call returns after any pending
// work procedure ran. Only one at a time: a new one per call piled up behind the
// X events, and the toolkit, which serves due timers first, then served nothing
// else (no event, no work procedure) until the deadline.
void pumpOnce(XtAppContext app) {
    if (!wakeUpArmed) {
        wakeUpArmed = true;
        XtAppAddTimeOut(app, 2, wakeUp, nullptr);
    }
    XtAppProcessEvent(app, XtIMAll);
}

}  // namespace

bool pumpUntil(XtAppContext app, const std::function<bool()>& done, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pumpOnce(app);
    }
    return true;
}

void settle(XtAppContext app, Display* display) {
    // A program that keeps drawing is never quiet: two seconds at the most.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int quiet = 0; quiet < 3 && std::chrono::steady_clock::now() < end;) {
        XSync(display, False);
        if ((XtAppPending(app) & XtIMXEvent) != 0) {
            quiet = 0;
            while ((XtAppPending(app) & XtIMXEvent) != 0) XtAppProcessEvent(app, XtIMXEvent);
        } else {
            ++quiet;
        }
        pumpOnce(app);
    }
}

std::string textOf(Widget text) {
    wchar_t* value = XmIsTextField(text) ? XmTextFieldGetStringWcs(text) : XmTextGetStringWcs(text);
    std::string result;
    for (const wchar_t* c = value; c != nullptr && *c != L'\0'; ++c) {
        result += *c <= 0xFF ? static_cast<char>(*c) : '\x1A';  // not Latin-1
    }
    XtFree(reinterpret_cast<char*>(value));
    return result;
}

std::string labelOf(Widget w, const char* resource) {
    XmString label = nullptr;
    XtVaGetValues(w, resource, &label, nullptr);
    if (label == nullptr) return "";
    char* s = static_cast<char*>(
        XmStringUnparse(label, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    std::string text = s != nullptr ? s : "";
    XtFree(s);
    XmStringFree(label);
    return text;
}

Pixel backgroundOf(Widget w) {
    Pixel p = 0;
    XtVaGetValues(w, XmNbackground, &p, nullptr);
    return p;
}

Pixel foregroundOf(Widget w) {
    Pixel p = 0;
    XtVaGetValues(w, XmNforeground, &p, nullptr);
    return p;
}

XEvent keyEvent(Widget w, unsigned long keysym, unsigned state) {
    XEvent e{};
    Display* d = XtDisplay(w);
    e.xkey.type = KeyPress;
    e.xkey.display = d;
    e.xkey.window = XtWindow(w);
    e.xkey.root = DefaultRootWindow(d);
    e.xkey.time = CurrentTime;
    e.xkey.same_screen = True;
    e.xkey.state = state;
    e.xkey.keycode = keysym != 0 ? XKeysymToKeycode(d, keysym) : 0;
    return e;
}

void callAction(Widget w, const char* action, unsigned long keysym, unsigned state,
                String* params, Cardinal count) {
    XEvent e = keyEvent(w, keysym, state);
    XtCallActionProc(w, action, &e, params, count);
}

void callFocusCallbacks(Widget field, int reason) {
    XmAnyCallbackStruct call{};
    call.reason = reason;
    XtCallCallbacks(field, reason == XmCR_FOCUS ? XmNfocusCallback : XmNlosingFocusCallback,
                    &call);
}

XEvent buttonEvent(Widget w, unsigned state) {
    XEvent e{};
    e.xbutton.type = ButtonPress;
    e.xbutton.display = XtDisplayOfObject(w);
    e.xbutton.window = XtWindowOfObject(w);
    e.xbutton.button = 1;
    e.xbutton.state = state;
    e.xbutton.time = CurrentTime;
    e.xbutton.same_screen = True;
    return e;
}

void press(Widget button) {
    XEvent e = buttonEvent(button);
    if (XmIsGadget(button)) {
        // Gadgets have no actions of their own: their parent calls the callbacks.
        XmPushButtonCallbackStruct cbs{};
        cbs.reason = XmCR_ACTIVATE;
        cbs.event = &e;
        cbs.click_count = 1;
        XtCallCallbacks(button, XmNactivateCallback, &cbs);
        return;
    }
    XtCallActionProc(button, "ArmAndActivate", &e, nullptr, 0);
}
