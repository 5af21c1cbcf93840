// The display controls of the main window: spectrum or waterfall, span, flow
// direction, brightness and speed, click to tune on wfDA, and Seek.
#pragma once

#include <X11/Intrinsic.h>

// Seek state: a seek runs, a stop was asked for, the next step is a seek's first.
extern int seeking;
extern int seekStopRequest;
extern int seekFirstStep;

void spanCB(Widget w, XtPointer factor, XtPointer callData);  // 2, 4 or 8
void modeCB(Widget w, XtPointer mode, XtPointer callData);    // 0 spectrum, 1 waterfall
void flowUpCB(Widget w, XtPointer clientData, XtPointer callData);
void brightCB(Widget w, XtPointer clientData, XtPointer callData);
void speedCB(Widget w, XtPointer clientData, XtPointer callData);
// Button 1 tunes the main receiver to the clicked column (snapped to a signal).
void wfInputCB(Widget w, XtPointer clientData, XtPointer callData);

void seekCB(Widget w, XtPointer direction, XtPointer callData);  // 'U' or 'D'
void haltCB(Widget w, XtPointer clientData, XtPointer callData);
// One step of a seek, every 5 ms until a signal sits at the receive frequency.
void seekStep(XtPointer direction, XtIntervalId* id);
