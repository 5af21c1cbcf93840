#include "gui/band_window.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/MwmUtil.h>
#include <Xm/Protocols.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <algorithm>

#include "gui/controls.h"
#include "gui/frequency_field.h"
#include "gui/icon.h"
#include "gui/main_window.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"
#include "modem/band_survey.h"
#include "server/server.h"

namespace {

// The window is rewritten at most this often: a busy band brings a character every
// few milliseconds, and a rewrite of every line for each would cost more than the
// survey itself.
constexpr double REDRAW_SECONDS = 0.25;

BandWindow* bandOf(XtPointer clientData) { return static_cast<BandWindow*>(clientData); }

// The modem's bytes are Latin-1; as wide characters they show whatever the locale.
std::vector<wchar_t> wide(const std::string& text) {
    std::vector<wchar_t> out;
    out.reserve(text.size() + 1);
    for (char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    out.push_back(L'\0');
    return out;
}

void say(BandWindow* band, const char* message) {
    XmString s = XmStringCreateLocalized(const_cast<char*>(message));
    XtVaSetValues(band->statusLabel, XmNlabelString, s, nullptr);
    XmStringFree(s);
}

void highlight(BandWindow* band) {
    if (band->state != 1) return;
    char* find = XmTextFieldGetString(band->findField);
    const std::vector<bool> matches = band_matches(band->model, find, band->call);
    XtFree(find);
    const auto end = static_cast<XmTextPosition>(band->shown.size());
    XmTextSetHighlight(band->text, 0, end, XmHIGHLIGHT_NORMAL);
    XmTextPosition start = 0;
    for (size_t i = 0; i < matches.size(); ++i) {
        const size_t newline = band->shown.find('\n', static_cast<size_t>(start));
        const XmTextPosition stop =
            newline == std::string::npos ? end : static_cast<XmTextPosition>(newline);
        if (matches[i]) XmTextSetHighlight(band->text, start, stop, XmHIGHLIGHT_SELECTED);
        start = stop + 1;
    }
}

void redraw(BandWindow* band, double now) {
    // Text the operator has selected stays as it is until the selection goes, as a
    // receive pane holds still while scrolled back: a rewrite would take it away.
    XmTextPosition left = 0, right = 0;
    if (XmTextGetSelectionPosition(band->text, &left, &right) && left != right) return;
    band->shownAt = now;
    band->changed = false;
    const std::string text = band_text(band->model, band->columns, band->dialHz, band->lsbDial);
    if (text == band->shown) return;
    band->shown = text;
    // The operator may have scrolled down a long list: the same top line stays in view.
    const XmTextPosition top = XmTextGetTopCharacter(band->text);
    XmTextDisableRedisplay(band->text);
    XmTextSetStringWcs(band->text, wide(text).data());
    const auto last = static_cast<XmTextPosition>(text.size());
    XmTextSetTopCharacter(band->text, std::min(top, last));
    highlight(band);
    XmTextEnableRedisplay(band->text);
}

// The main receiver to a line's station: its mode, AFC on, the frequency as a
// click on the waterfall gives it (NET moves the transmitter along), and what the
// line holds so far into the receive pane.
void tuneMainTo(BandWindow* band, const BandLine& line) {
    MainWindow& mw = *band->window;
    TrControls& c = mw.controls;
    XmToggleButtonSetState(c.qpskTB, line.qpsk != 0 ? True : False, True);
    XmToggleButtonSetState(c.rxFreq.toggle, True, True);
    char text[16];
    std::snprintf(text, sizeof text, "%4.1f", line.frequency);
    setFrequencyText(c.rxFreq.text, text);
    server_set_frequency(SERVER_MAIN_CHANNEL, frequencyHundredths(static_cast<float>(line.frequency)));
    if (!line.text.empty()) putRxLine(mw.panes.rx.text, (line.text + "\n").c_str());
}

void openSecondaryOn(BandWindow* band, const BandLine& line) {
    MainWindow* mw = band->window;
    const int slot = decoder_open_at(mw, static_cast<float>(line.frequency));
    if (slot == -1) {
        say(band, "All four secondary windows are in use.");
        return;
    }
    SecondaryDecoder& d = mw->decoders[slot];
    XmToggleButtonSetState(d.qpskTB, line.qpsk != 0 ? True : False, False);
    server_set_qpsk(d.freq.channel, line.qpsk != 0 ? 1 : 0);
    XmTextSetStringWcs(d.pane.text, wide(line.text).data());
    XmTextSetInsertionPosition(d.pane.text, XmTextGetLastPosition(d.pane.text));
}

const BandLine* lineAt(BandWindow* band, int index) {
    if (index < 0 || index >= static_cast<int>(band->model.lines.size())) return nullptr;
    return &band->model.lines[static_cast<size_t>(index)];
}

// Pixels from one line of a text widget to the next.
int lineSpacing(Widget text) {
    Dimension height = 0, margin = 0, shadow = 0, highlight = 0;
    short rows = 1;
    XtVaGetValues(text, XmNheight, &height, XmNrows, &rows, XmNmarginHeight, &margin,
                  XmNshadowThickness, &shadow, XmNhighlightThickness, &highlight, nullptr);
    return (height - 2 * (margin + shadow + highlight)) / std::max<short>(rows, 1);
}

void bandClickEH(Widget w, XtPointer clientData, XEvent* event, Boolean*) {
    BandWindow* band = bandOf(clientData);
    if (event->type != ButtonPress) return;
    const XmTextPosition position = XmTextXYToPos(w, static_cast<Position>(event->xbutton.x),
                                                  static_cast<Position>(event->xbutton.y));
    // A click below the last line is on no line: it only gives the text the focus.
    Position x = 0, baseline = 0;
    if (!XmTextPosToXY(w, position, &x, &baseline) ||
        event->xbutton.y > baseline + lineSpacing(w) / 2) {
        return;
    }
    const int index = band_line_at(band->shown, position);
    const BandLine* line = lineAt(band, index);
    if (line == nullptr) return;
    say(band, "");
    if (event->xbutton.button == Button1) {
        tuneMainTo(band, *line);
    } else if (event->xbutton.button == Button3) {
        band->popupLine = index;
        XmMenuPosition(band->popup, &event->xbutton);
        XtManageChild(band->popup);
    }
}

void popupMainCB(Widget, XtPointer clientData, XtPointer) {
    BandWindow* band = bandOf(clientData);
    if (const BandLine* line = lineAt(band, band->popupLine)) tuneMainTo(band, *line);
}

void popupSecondaryCB(Widget, XtPointer clientData, XtPointer) {
    BandWindow* band = bandOf(clientData);
    if (const BandLine* line = lineAt(band, band->popupLine)) openSecondaryOn(band, *line);
}

void popupClearCB(Widget, XtPointer clientData, XtPointer) {
    BandWindow* band = bandOf(clientData);
    if (lineAt(band, band->popupLine) == nullptr) return;
    band->model.lines.erase(band->model.lines.begin() + band->popupLine);
    redraw(band, band->shownAt);
}

void findCB(Widget, XtPointer clientData, XtPointer) { highlight(bandOf(clientData)); }

// The window manager's close button closes the window as Ctrl-A does.
void closeCB(Widget, XtPointer clientData, XtPointer) {
    BandWindow* band = bandOf(clientData);
    XtPopdown(band->shell);
    band->state = 0;
}

Widget popupItem(BandWindow* band, const char* name, XtCallbackProc handler) {
    Widget item = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, band->popup, nullptr);
    XtAddCallback(item, XmNactivateCallback, handler, band);
    return item;
}

void build(BandWindow* band) {
    MainWindow* mw = band->window;
    band->shell = XtVaCreatePopupShell("bandDiag", topLevelShellWidgetClass, mw->shell, XmNtitle,
                                       "VORDA BAND", XmNiconName, "VORDA BAND", XmNdeleteResponse,
                                       XmDO_NOTHING, XmNiconPixmap, programIcon(), nullptr);
    Atom deleteWindow = XmInternAtom(XtDisplay(band->shell),
                                     const_cast<char*>("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(band->shell, deleteWindow, closeCB, band);

    band->form = XtVaCreateWidget("bandForm", xmFormWidgetClass, band->shell, XmNhorizontalSpacing,
                                  4, XmNverticalSpacing, 4, nullptr);
    band->findLabel = XtVaCreateManagedWidget(
        "bandFindLabel", xmLabelWidgetClass, band->form, XmNtopAttachment, XmATTACH_FORM,
        XmNleftAttachment, XmATTACH_FORM, nullptr);
    band->findField = XtVaCreateManagedWidget(
        "bandFind", xmTextFieldWidgetClass, band->form, XmNcolumns, 16, XmNtopAttachment,
        XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, band->findLabel, nullptr);
    XtVaSetValues(band->findLabel, XmNbottomAttachment, XmATTACH_OPPOSITE_WIDGET,
                  XmNbottomWidget, band->findField, nullptr);
    band->statusLabel = XtVaCreateManagedWidget(
        "bandStatus", xmLabelWidgetClass, band->form, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_OPPOSITE_WIDGET, XmNbottomWidget, band->findField,
        XmNleftAttachment, XmATTACH_WIDGET, XmNleftWidget, band->findField, XmNrightAttachment,
        XmATTACH_FORM, XmNalignment, XmALIGNMENT_BEGINNING, nullptr);
    say(band, "");
    XtAddCallback(band->findField, XmNvalueChangedCallback, findCB, band);

    Arg args[8];
    int n = 0;
    XtSetArg(args[n], XmNeditMode, XmMULTI_LINE_EDIT); ++n;
    XtSetArg(args[n], XmNeditable, False); ++n;
    XtSetArg(args[n], XmNcursorPositionVisible, False); ++n;
    XtSetArg(args[n], XmNcolumns, static_cast<short>(band->columns)); ++n;
    XtSetArg(args[n], XmNwordWrap, False); ++n;
    XtSetArg(args[n], XmNscrollHorizontal, False); ++n;
    band->text = XmCreateScrolledText(band->form, const_cast<char*>("bandText"), args, n);
    XtVaSetValues(XtParent(band->text), XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                  band->findField, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment,
                  XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, nullptr);
    XtManageChild(band->text);
    XtAddEventHandler(band->text, ButtonPressMask, False, bandClickEH, band);

    band->popup = XmCreatePopupMenu(band->text, const_cast<char*>("bandPopup"), nullptr, 0);
    popupItem(band, "Main Receiver", popupMainCB);
    popupItem(band, "Secondary Window", popupSecondaryCB);
    popupItem(band, "Clear Line", popupClearCB);

    XtManageChild(band->form);
    int x = 0, y = 0, width = 0, height = 0;
    if (mw->services.bandPlace != nullptr && mw->services.bandPlace(&x, &y, &width, &height)) {
        Screen* screen = XtScreen(band->shell);
        XtVaSetValues(band->shell, XmNx,
                      static_cast<Position>(decoder_coordinate_on_screen(x, WidthOfScreen(screen),
                                                                         std::max(width, 1))),
                      XmNy,
                      static_cast<Position>(decoder_coordinate_on_screen(y, HeightOfScreen(screen),
                                                                         std::max(height, 1))),
                      nullptr);
        if (width > 0 && height > 0) {
            XtVaSetValues(band->shell, XmNwidth, static_cast<Dimension>(width), XmNheight,
                          static_cast<Dimension>(height), nullptr);
        }
    }
}

}  // namespace

void band_window_setup(BandWindow* band, MainWindow* mw, int columns, int timeout,
                       const char* call) {
    band->window = mw;
    band->columns = static_cast<size_t>(std::clamp(columns, 20, 400));
    band->model.keep = band->columns;
    band->model.timeout = std::clamp(timeout, 1, 86400);
    band->call = call != nullptr ? call : "";
    band->dialHz = 0;
    band->lsbDial = false;
    band->state = -1;
    band->popupLine = -1;
    band->changed = false;
    band->shownAt = 0;
}

void band_window_open(BandWindow* band) {
    if (band->state == 1) return;
    if (band->state == -1) build(band);
    band->state = 1;
    band->shown.clear();
    XtPopup(band->shell, XtGrabNone);
    // The keyboard scrolls the lines; a click on Find takes it there.
    XmProcessTraversal(band->text, XmTRAVERSE_CURRENT);
    redraw(band, band->shownAt);
}

void band_window_toggle(BandWindow* band) {
    if (band->state == 1) {
        closeCB(nullptr, band, nullptr);
    } else {
        band_window_open(band);
    }
}

void band_window_update(BandWindow* band, const std::vector<survey_char>& chars, double now) {
    for (const survey_char& c : chars) band_put(band->model, c, now);
    band->changed = band_age(band->model, now) || band->changed || !chars.empty();
    if (band->state == 1 && band->changed && now - band->shownAt >= REDRAW_SECONDS) {
        redraw(band, now);
    }
}

bool band_window_place(const BandWindow* band, int* x, int* y, int* width, int* height) {
    if (band->state == -1) return false;
    Position px = 0, py = 0;
    Dimension w = 0, h = 0;
    XtVaGetValues(band->shell, XmNx, &px, XmNy, &py, XmNwidth, &w, XmNheight, &h, nullptr);
    *x = px;
    *y = py;
    *width = w;
    *height = h;
    return true;
}
