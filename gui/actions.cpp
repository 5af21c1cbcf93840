#include "gui/actions.h"

#include <iterator>

namespace {

// These actions read the other station's call from the call box's shared
// memory, which arrives with the call box. Until then a bound key does nothing,
// while the resource file's translations already resolve (an unknown action
// name would draw a toolkit warning for every key press).
void sendOver(Widget, XEvent*, String*, Cardinal*) {}
void sendHisCall(Widget, XEvent*, String*, Cardinal*) {}
void sendMacro(Widget, XEvent*, String*, Cardinal*) {}

XtActionsRec callBoxActions[] = {
    {const_cast<char*>("sendOver"), sendOver},
    {const_cast<char*>("sendHisCall"), sendHisCall},
    {const_cast<char*>("sendMacro"), sendMacro},
};

}  // namespace

void registerCallBoxActions(XtAppContext app) {
    XtAppAddActions(app, callBoxActions, std::size(callBoxActions));
}
