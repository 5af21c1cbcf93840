#include "gui/actions.h"

#include <iterator>

#include "gui/callbox.h"

namespace {

XtActionsRec callBoxActions[] = {
    {const_cast<char*>("sendOver"), sendOver},
    {const_cast<char*>("sendHisCall"), sendHisCall},
    {const_cast<char*>("sendMacro"), sendMacro},
};

}  // namespace

void registerCallBoxActions(XtAppContext app) {
    XtAppAddActions(app, callBoxActions, std::size(callBoxActions));
}
