#include "gui/display.h"

#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <string>
#include <vector>

#include "server/server.h"

namespace {

imd_meter imdMeter;

// The pointer over the display: a red arrow pointing down at the clicked column.
// '#' set, '.' clear; 15 x 16, hot spot at the tip (7, 15).
const char* const cursorShape[16] = {
    "......###......", "......###......", "......###......", "......###......",
    "......###......", "......###......", "......###......", "......###......",
    "......###......", "......###......", "...#########...", "....#######....",
    ".....#####.....", "......###......", ".......#.......", "...............",
};
const char* const cursorMask[16] = {
    ".....#####.....", ".....#####.....", ".....#####.....", ".....#####.....",
    ".....#####.....", ".....#####.....", ".....#####.....", ".....#####.....",
    ".....#####.....", ".#############.", ".#############.", "..###########..",
    "...#########...", "....#######....", ".....#####.....", "......###......",
};

Pixmap bitmapFromArt(Display* display, Window window, const char* const art[16]) {
    char bits[16 * 2] = {};
    for (int row = 0; row < 16; ++row) {
        for (int col = 0; col < 15; ++col) {
            if (art[row][col] == '#') bits[row * 2 + col / 8] |= static_cast<char>(1 << (col % 8));
        }
    }
    return XCreateBitmapFromData(display, window, bits, 15, 16);
}

void defineCursor(VordaDisplay* d) {
    Pixmap shape = bitmapFromArt(d->display, d->window, cursorShape);
    Pixmap mask = bitmapFromArt(d->display, d->window, cursorMask);
    XColor foreground;
    XColor background;
    XParseColor(d->display, d->colormap, "red", &foreground);
    XParseColor(d->display, d->colormap, "black", &background);
    d->cursor = XCreatePixmapCursor(d->display, shape, mask, &foreground, &background, 7, 15);
    XDefineCursor(d->display, d->window, d->cursor);
    XFreePixmap(d->display, shape);
    XFreePixmap(d->display, mask);
}

void reportFailures(int failed) {
    if (failed > 0) {
        std::fprintf(stderr, "Could not allocate %d %s\n", failed, failed == 1 ? "color" : "colors");
    }
}

void buildGreyRamp(VordaDisplay* d, const grey_choice& choice) {
    int failed = 0;
    for (int i = 0; i < 100; ++i) {
        XColor& grey = d->grey[i];
        grey = XColor{};
        switch (choice.method) {
            case grey_method::true_colour:
                grey.pixel = grey_pixel(i, choice.red_mask, choice.green_mask, choice.blue_mask);
                break;
            case grey_method::read_write_cells: {
                unsigned long pixel = 0;
                if (XAllocColorCells(d->display, d->colormap, False, nullptr, 0, &pixel, 1) == 0) {
                    ++failed;  // this level stays pixel 0
                    break;
                }
                grey.pixel = pixel;
                grey.red = grey.green = grey.blue = static_cast<unsigned short>(38400 + 256 * i);
                grey.flags = DoRed | DoGreen | DoBlue;
                XStoreColor(d->display, d->colormap, &grey);
                break;
            }
            case grey_method::read_only_cells:
                grey.red = grey.green = grey.blue = grey_intensity(i);
                grey.flags = DoRed | DoGreen | DoBlue;
                if (XAllocColor(d->display, d->colormap, &grey) == 0) {
                    grey.pixel = 0;
                    ++failed;
                }
                break;
        }
    }
    reportFailures(failed);
}

Pixel whiteOf(const VordaDisplay* d) { return WhitePixel(d->display, d->screen); }
Pixel blackOf(const VordaDisplay* d) { return BlackPixel(d->display, d->screen); }

void copyToWindow(VordaDisplay* d) {
    XCopyArea(d->display, d->pixmap, d->window, d->gc, 0, 0, kDisplayColumns, kDisplayRows, 0, 0);
}

void drawCentreLine(VordaDisplay* d, int column) {
    XSetForeground(d->display, d->gc, d->red[0].pixel);
    XDrawLine(d->display, d->pixmap, d->gc, column, 0, column, kDisplayRows);
}

bool centreColumn(int c) { return c >= kCentreColumn - 1 && c <= kCentreColumn + 1; }

void drawWaterfall(VordaDisplay* d) {
    const int flow = d->flowUp != 0 ? 1 : 0;
    XCopyArea(d->display, d->pixmap, d->pixmap, d->gc, 0, flow, kDisplayColumns,
              kDisplayRows - 1, 0, 1 - flow);
    const int row = flow == 1 ? kDisplayRows - 1 : 0;
    for (int c = 0; c < kDisplayColumns; ++c) {
        if (centreColumn(c)) {
            drawCentreLine(d, c);
            continue;
        }
        const int level = waterfall_level(d->columns[c], d->brightness);
        XSetForeground(d->display, d->gc, d->grey[level].pixel);
        XDrawPoint(d->display, d->pixmap, d->gc, c, row);
    }
    copyToWindow(d);
}

void drawSpectrum(VordaDisplay* d) {
    XSetLineAttributes(d->display, d->gc, 0, LineSolid, CapRound, JoinRound);
    const Pixel white = whiteOf(d);
    XSetForeground(d->display, d->gc, white);
    const int halfLength = d->geometry.fft_length / 2;
    int y = kDisplayRows;
    for (int c = 1; c < kDisplayColumns; ++c) {
        const int h = trace_height(d->columns[c]);
        const int bin = d->geometry.start_bin + c;
        if (centreColumn(c)) {
            drawCentreLine(d, c);
            XSetForeground(d->display, d->gc, white);
        } else if (bin < 2 || bin > halfLength) {
            // The band's edges show as a solid grey band.
            XSetForeground(d->display, d->gc, d->grey[50].pixel);
            XDrawLine(d->display, d->pixmap, d->gc, c, 0, c, kDisplayRows - 1);
            XSetForeground(d->display, d->gc, white);
        } else {
            XDrawLine(d->display, d->pixmap, d->gc, c, y, c, kDisplayRows - h);
            y = kDisplayRows - h;
        }
    }
    copyToWindow(d);
    // The next frame starts from black.
    XSetForeground(d->display, d->gc, blackOf(d));
    XFillRectangle(d->display, d->pixmap, d->gc, 0, 0, kDisplayColumns, kDisplayRows);
}

}  // namespace

grey_choice find_visual_info(Display* display, int screen) {
    XVisualInfo wanted{};
    wanted.screen = screen;
    int count = 0;
    XVisualInfo* infos = XGetVisualInfo(display, VisualScreenMask, &wanted, &count);
    const VisualID defaultId = XVisualIDFromVisual(DefaultVisual(display, screen));
    std::vector<visual_desc> visuals;
    for (int i = 0; i < count; ++i) {
        visuals.push_back({infos[i].depth, infos[i].c_class, infos[i].red_mask,
                           infos[i].green_mask, infos[i].blue_mask,
                           infos[i].visualid == defaultId});
    }
    if (infos != nullptr) XFree(infos);
    const grey_choice choice = choose_grey_method(visuals.data(), static_cast<int>(visuals.size()));
    std::fputs(grey_choice_message(choice), stderr);
    return choice;
}

void display_init(VordaDisplay* d, Widget drawingArea, int spanFactor, int speed) {
    d->display = XtDisplay(drawingArea);
    d->window = XtWindow(drawingArea);
    d->screen = DefaultScreen(d->display);
    d->gc = DefaultGC(d->display, d->screen);
    d->colormap = DefaultColormap(d->display, d->screen);

    // The window may not be on the screen yet, so its contents are not to be
    // trusted: the pixmap starts as its background, black.
    d->pixmap = XCreatePixmap(d->display, d->window, kDisplayColumns, kDisplayRows,
                              DefaultDepth(d->display, d->screen));
    XClearWindow(d->display, d->window);
    XSetForeground(d->display, d->gc, blackOf(d));
    XFillRectangle(d->display, d->pixmap, d->gc, 0, 0, kDisplayColumns, kDisplayRows);
    XSetLineAttributes(d->display, d->gc, 0, LineSolid, CapRound, JoinRound);
    // Copies between the pixmap and the window need no exposure events.
    XSetGraphicsExposures(d->display, d->gc, False);

    defineCursor(d);
    buildGreyRamp(d, find_visual_info(d->display, d->screen));
    XAllocNamedColor(d->display, d->colormap, "red", &d->red[0], &d->red[1]);
    fft_setup(d, 512 * spanFactor, speed);
}

void fft_setup(VordaDisplay* d, int length, int speed) {
    if (speed > 100) {
        std::fprintf(stderr, "fft_setup: invalid speed speed=%d\n", speed);
    } else if (speed >= 0) {
        d->updateInterval = speed_to_interval(speed);
    }
    set_fft_length(d->geometry, length);
    // A length or interval of 0 would stop the analyzer: only real values go out.
    if (d->geometry.fft_length > 0) {
        server_set_fft_length(d->geometry.fft_length);
    }
    if (d->updateInterval > 0) {
        server_set_fft_interval(d->updateInterval);
    }
}

void display_new_data(VordaDisplay* d, const float* values, int) {
    if (d->geometry.fft_length <= 0) return;
    std::string text;
    const bool dcd = d->dcdToggle != nullptr && XmToggleButtonGetState(d->dcdToggle);
    if (imd_update(imdMeter, d->geometry, values, dcd, text) && d->imdField != nullptr) {
        XmTextFieldSetString(d->imdField, const_cast<char*>(text.c_str()));
    }
    fill_columns(d->geometry, values, d->columns);
    drawDisplay(d);
}

void drawDisplay(VordaDisplay* d) {
    if (d->display == nullptr) return;  // not set up yet: nothing to draw on
    switch (d->mode) {
        case 0: drawSpectrum(d); break;
        case 1: drawWaterfall(d); break;
        default: std::fputs("vordaDisplay.drawDisplay - Broken WF/SA value\n", stderr); break;
    }
}

void display_set_rx_freq(VordaDisplay* d, float frequency) {
    set_centre(d->geometry, frequency);
}

float display_click_freq(VordaDisplay* d, int column) {
    return click_frequency(d->geometry, d->columns, column);
}

int display_find_signal(VordaDisplay* d, int column) {
    return find_signal(d->geometry, d->columns, column);
}
