// The phase scope: geometry, vector end points and what reaches the screen.
#include <gtest/gtest.h>

#include <Xm/DrawingA.h>

#include "gui/scope.h"
#include "gui_app.h"

namespace {

unsigned long pixelAt(const PhaseScope& scope, int x, int y) {
    XImage* image = XGetImage(scope.display, scope.window, x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p;
}

}  // namespace

TEST(ScopeGeometry, SquareInTheMiddleOfTheArea) {
    const ScopeGeometry g = scope_geometry(100, 60);
    EXPECT_EQ(g.diameter, 54);
    EXPECT_EQ(g.boxLeft, 23);
    EXPECT_EQ(g.boxTop, 3);
    EXPECT_EQ(g.centreX, 50);
    EXPECT_EQ(g.centreY, 30);
    const ScopeGeometry odd = scope_geometry(81, 80);
    EXPECT_EQ(odd.diameter, 72);
    EXPECT_EQ(odd.centreX, 40);
}

TEST(ScopeVector, PhaseTurnsCounterClockwiseFromStraightUp) {
    const struct {
        int phase;
        int x;
        int y;
    } cases[] = {{0, 50, 15}, {64, 15, 50}, {128, 50, 85}, {192, 85, 50}, {32, 25, 25}};
    for (const auto& c : cases) {
        const ScopePoint end = scope_vector_end(50, 50, c.phase, 35);
        EXPECT_EQ(end.x, c.x) << "phase " << c.phase;
        EXPECT_EQ(end.y, c.y) << "phase " << c.phase;
    }
    const ScopePoint centre = scope_vector_end(50, 50, 77, 0);
    EXPECT_EQ(centre.x, 50);
    EXPECT_EQ(centre.y, 50);
}

TEST(ScopeDrawing, VectorIsDrawnInItsColourAndErasedByTheNext) {
    guiApp();
    Widget shell = testShell("scopeTest");
    Widget area = XtVaCreateManagedWidget("scopeDA", xmDrawingAreaWidgetClass, shell, XmNwidth,
                                          100, XmNheight, 100, nullptr);
    XtRealizeWidget(shell);
    settle();
    PhaseScope scope{};
    scope.ringWidth = 4;
    scope_init(&scope, topLevel, area);
    scope_clear(&scope);
    XSync(scope.display, False);
    EXPECT_EQ(scope.centreX, 50);
    EXPECT_EQ(scope.previousX, 50);
    EXPECT_EQ(scope.previousY, 50);
    EXPECT_EQ(pixelAt(scope, 50, 50), scope.colours[SCOPE_DISC].pixel);
    // The fill covers the inner half of the ring, leaving the outer half as a rim.
    EXPECT_EQ(pixelAt(scope, scope.boxLeft - 1, 50), scope.colours[SCOPE_RING].pixel);
    EXPECT_EQ(pixelAt(scope, scope.boxLeft + 1, 50), scope.colours[SCOPE_DISC].pixel);

    scope_draw(&scope, 0, 30, SCOPE_RED);
    XSync(scope.display, False);
    EXPECT_EQ(pixelAt(scope, 50, 30), scope.colours[SCOPE_RED].pixel);
    EXPECT_EQ(scope.previousY, 20);

    scope_draw(&scope, 128, 30, SCOPE_YELLOW);
    XSync(scope.display, False);
    EXPECT_EQ(pixelAt(scope, 50, 30), scope.colours[SCOPE_DISC].pixel);
    EXPECT_EQ(pixelAt(scope, 50, 70), scope.colours[SCOPE_YELLOW].pixel);
    XtDestroyWidget(shell);
}
