// The phase scope: a grey disc with a vector whose angle is the phase change of
// the last PSK31 symbol, whose length is the signal strength and whose colour
// tells carrier detect (red, yellow) or transmitting (green).
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

enum ScopeColour { SCOPE_RED = 0, SCOPE_YELLOW = 1, SCOPE_GREEN = 2, SCOPE_RING = 3, SCOPE_DISC = 4 };

struct PhaseScope {
    GC gc;
    XGCValues gcValues;   // foreground applied to gc; zero until scope_clear
    Display* display;
    int screen;
    Window window;
    XColor colours[5];    // red, yellow, green2, light gray, slate gray
    uint16_t width;       // drawing area size at the last scope_clear, pixels
    uint16_t height;
    int16_t previousX;    // end point of the vector drawn last
    int16_t previousY;
    int boxLeft;          // top-left corner of the square holding the circle
    int boxTop;
    int centreX;
    int centreY;
    int diameter;
    int ringWidth = 4;    // line width of the ring, pixels
    Widget drawingArea;
};

// Geometry of the scope in a drawing area of the given size.
struct ScopeGeometry {
    int diameter;
    int boxLeft;
    int boxTop;
    int centreX;
    int centreY;
};
ScopeGeometry scope_geometry(uint16_t width, uint16_t height);

// End point of a vector of `length` pixels at `phase` (256 units per turn, 0 up,
// counter-clockwise) from the centre.
struct ScopePoint {
    int16_t x;
    int16_t y;
};
ScopePoint scope_vector_end(int centreX, int centreY, int phase, int length);

void scope_init(PhaseScope* scope, Widget shell, Widget drawingArea);
void scope_clear(PhaseScope* scope);
void scope_draw(PhaseScope* scope, int phase, int length, int colour);

// Expose callback of a scopeDA; the client data is the scope.
void scopeExposeCB(Widget w, XtPointer scope, XtPointer callData);
