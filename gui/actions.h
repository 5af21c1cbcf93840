// Translation actions of the transmit pane that type the other station's call,
// the over phrase or a macro text. The resource file binds keys to them.
#pragma once

#include <X11/Intrinsic.h>

struct AppResources;

// The over phrase ends with the call of `resources`.
void registerCallBoxActions(XtAppContext app, const AppResources* resources);
