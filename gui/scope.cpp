#include "gui/scope.h"

#include <Xm/Xm.h>

#include <algorithm>
#include <cmath>

namespace {

const char* const colourNames[5] = {"red", "yellow", "green2", "light gray", "slate gray"};

void setForeground(PhaseScope* scope, int colour) {
    scope->gcValues.foreground = scope->colours[colour].pixel;
    XChangeGC(scope->display, scope->gc, GCForeground, &scope->gcValues);
}

}  // namespace

ScopeGeometry scope_geometry(uint16_t width, uint16_t height) {
    ScopeGeometry g{};
    g.diameter = static_cast<int>(std::min(width, height) * 0.9);
    g.boxLeft = (width - g.diameter) / 2;
    g.boxTop = (height - g.diameter) / 2;
    g.centreX = width / 2;
    g.centreY = height / 2;
    return g;
}

ScopePoint scope_vector_end(int centreX, int centreY, int phase, int length) {
    // 2 pi / 256 in single precision, then a quarter turn so that phase 0 points up.
    const double theta = static_cast<float>(phase * 0.024543693f) + M_PI / 2;
    const float dx = static_cast<float>(length * std::cos(theta));
    const float dy = static_cast<float>(length * std::sin(theta));
    ScopePoint end;
    end.x = static_cast<int16_t>(static_cast<int32_t>(static_cast<float>(centreX) + dx));
    end.y = static_cast<int16_t>(static_cast<int32_t>(static_cast<float>(centreY) - dy));
    return end;
}

void scope_init(PhaseScope* scope, Widget shell, Widget drawingArea) {
    scope->drawingArea = drawingArea;
    Display* shellDisplay = XtDisplay(shell);
    scope->gc = XCreateGC(shellDisplay, RootWindowOfScreen(XtScreen(shell)), GCForeground,
                          &scope->gcValues);
    scope->display = XtDisplay(drawingArea);
    scope->window = XtWindow(drawingArea);
    scope->screen = DefaultScreen(scope->display);
    Colormap colormap = DefaultColormap(scope->display, scope->screen);
    for (int i = 0; i < 5; ++i) {
        XColor exact;
        // A colour that cannot be had keeps pixel 0; the scope still works.
        XAllocNamedColor(scope->display, colormap, colourNames[i], &scope->colours[i], &exact);
    }
}

void scope_clear(PhaseScope* scope) {
    if (scope->window == 0) scope->window = XtWindow(scope->drawingArea);
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(scope->drawingArea, XmNwidth, &width, XmNheight, &height, nullptr);
    scope->width = width;
    scope->height = height;
    const ScopeGeometry g = scope_geometry(width, height);
    scope->diameter = g.diameter;
    scope->boxLeft = g.boxLeft;
    scope->boxTop = g.boxTop;
    scope->centreX = g.centreX;
    scope->centreY = g.centreY;
    scope->previousX = static_cast<int16_t>(g.centreX);
    scope->previousY = static_cast<int16_t>(g.centreY);

    XSetForeground(scope->display, scope->gc, scope->colours[SCOPE_RING].pixel);
    XSetLineAttributes(scope->display, scope->gc, scope->ringWidth, LineSolid, CapRound,
                       JoinRound);
    XDrawArc(scope->display, scope->window, scope->gc, g.boxLeft, g.boxTop, g.diameter,
             g.diameter, 0, 360 * 64);
    // The filled disc covers the inner half of the ring, leaving a light rim.
    setForeground(scope, SCOPE_DISC);
    XSetLineAttributes(scope->display, scope->gc, 2, LineSolid, CapRound, JoinRound);
    XFillArc(scope->display, scope->window, scope->gc, g.boxLeft, g.boxTop, g.diameter,
             g.diameter, 0, 360 * 64);
}

void scope_draw(PhaseScope* scope, int phase, int length, int colour) {
    if (scope->previousX > 0 || scope->previousY > 0) {
        XSetForeground(scope->display, scope->gc, scope->colours[SCOPE_DISC].pixel);
        XDrawLine(scope->display, scope->window, scope->gc, scope->centreX, scope->centreY,
                  scope->previousX, scope->previousY);
    }
    XSetForeground(scope->display, scope->gc, scope->colours[colour].pixel);
    const ScopePoint end = scope_vector_end(scope->centreX, scope->centreY, phase, length);
    scope->previousX = end.x;
    scope->previousY = end.y;
    XDrawLine(scope->display, scope->window, scope->gc, scope->centreX, scope->centreY, end.x,
              end.y);
    XSetForeground(scope->display, scope->gc, scope->colours[SCOPE_RING].pixel);
}

void scopeExposeCB(Widget, XtPointer scope, XtPointer) {
    scope_clear(static_cast<PhaseScope*>(scope));
}
