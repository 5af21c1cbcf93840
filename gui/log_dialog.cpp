#include "gui/log_dialog.h"

#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/MessageB.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "gui/callbox.h"
#include "gui/console_settings.h"
#include "gui/main_window.h"
#include "gui/text_panes.h"
#include "modem/radio_frequency.h"

const char* const logFieldNames[11] = {"CALL",     "QSO_DATE", "TIME_ON",  "FREQ",
                                       "BAND",     "MODE",     "SUBMODE",  "RST_SENT",
                                       "RST_RCVD", "NAME",     "COMMENT"};

namespace {

enum { CALL, QSO_DATE, TIME_ON, FREQ, BAND, MODE, SUBMODE, RST_SENT, RST_RCVD, NAME, COMMENT };

void setField(LogDialog* d, int index, const std::string& value) {
    XmTextFieldSetString(d->fields[index], const_cast<char*>(value.c_str()));
}

void setMessage(LogDialog* d, const char* text) {
    XmString s = XmStringCreateLocalized(const_cast<char*>(text));
    XtVaSetValues(d->message, XmNlabelString, s, nullptr);
    XmStringFree(s);
}

// The selected text of the first receive pane that has a selection.
std::string selectedText(const MainWindow* mw) {
    std::vector<Widget> panes{mw->panes.rx.text};
    for (const SecondaryDecoder& decoder : mw->decoders) {
        if (decoder.state == 1) panes.push_back(decoder.pane.text);
    }
    for (Widget pane : panes) {
        char* selected = XmTextGetSelection(pane);
        if (selected == nullptr) continue;
        std::string text = selected;
        XtFree(selected);
        if (!text.empty()) return text;
    }
    return "";
}

void okCB(Widget, XtPointer clientData, XtPointer) {
    auto* mw = static_cast<MainWindow*>(clientData);
    LogDialog* d = &mw->log;
    std::vector<std::pair<std::string, std::string>> fields;
    for (int i = 0; i < 11; ++i) {
        char* value = XmTextFieldGetString(d->fields[i]);
        fields.emplace_back(logFieldNames[i], value);
        XtFree(value);
    }
    bool logged = false;
    const std::string told = mw->services.logContact(fields, &logged);
    if (!logged) {
        // Kept open, so that nothing typed is lost.
        setMessage(d, told.c_str());
        XmProcessTraversal(d->fields[CALL], XmTRAVERSE_CURRENT);
        return;
    }
    if (!told.empty()) putRxLine(mw->panes.rx.text, (told + "\n").c_str());
    XtUnmanageChild(d->dialog);
}

void cancelCB(Widget, XtPointer clientData, XtPointer) {
    XtUnmanageChild(static_cast<MainWindow*>(clientData)->log.dialog);
}

void focusCallCB(Widget, XtPointer clientData, XtPointer) {
    XmProcessTraversal(static_cast<LogDialog*>(clientData)->fields[CALL], XmTRAVERSE_CURRENT);
}

void build(MainWindow* mw) {
    LogDialog* d = &mw->log;
    Arg args[2];
    XmString title = XmStringCreateLocalized(const_cast<char*>("VORDA LOG"));
    XtSetArg(args[0], XmNdialogTitle, title);
    XtSetArg(args[1], XmNautoUnmanage, False);
    d->dialog = XmCreateFormDialog(mw->shell, const_cast<char*>("logDialog"), args, 2);
    XmStringFree(title);
    d->fieldsRC = XtVaCreateManagedWidget(
        "fieldsRC", xmRowColumnWidgetClass, d->dialog, XmNorientation, XmVERTICAL, XmNpacking,
        XmPACK_COLUMN, XmNnumColumns, 2, XmNentryAlignment, XmALIGNMENT_END, XmNtopAttachment,
        XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, XmNrightAttachment, XmATTACH_FORM,
        nullptr);
    // A vertical column-packed row column fills its first column first: the names, then
    // the fields beside them.
    for (int i = 0; i < 11; ++i) {
        d->labels[i] = XtVaCreateManagedWidget(logFieldNames[i], xmLabelWidgetClass, d->fieldsRC,
                                               nullptr);
    }
    for (int i = 0; i < 11; ++i) {
        d->fields[i] = XtVaCreateManagedWidget("logField", xmTextFieldWidgetClass, d->fieldsRC,
                                               XmNcolumns, 24, nullptr);
        // Enter in any field is OK.
        XtAddCallback(d->fields[i], XmNactivateCallback, okCB, mw);
    }
    d->message = XtVaCreateManagedWidget(
        "logMessage", xmLabelWidgetClass, d->dialog, XmNlabelString, nullptr, XmNtopAttachment,
        XmATTACH_WIDGET, XmNtopWidget, d->fieldsRC, XmNleftAttachment, XmATTACH_FORM,
        XmNrightAttachment, XmATTACH_FORM, nullptr);
    d->okButton = XtVaCreateManagedWidget(
        "OK", xmPushButtonWidgetClass, d->dialog, XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
        d->message, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_POSITION,
        XmNleftPosition, 10, XmNrightAttachment, XmATTACH_POSITION, XmNrightPosition, 40, nullptr);
    d->cancelButton = XtVaCreateManagedWidget(
        "Cancel", xmPushButtonWidgetClass, d->dialog, XmNtopAttachment, XmATTACH_WIDGET,
        XmNtopWidget, d->message, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
        XmATTACH_POSITION, XmNleftPosition, 60, XmNrightAttachment, XmATTACH_POSITION,
        XmNrightPosition, 90, nullptr);
    XtVaSetValues(d->dialog, XmNdefaultButton, d->okButton, XmNcancelButton, d->cancelButton,
                  nullptr);
    XtAddCallback(d->okButton, XmNactivateCallback, okCB, mw);
    XtAddCallback(d->cancelButton, XmNactivateCallback, cancelCB, mw);
    XtAddCallback(d->dialog, XmNmapCallback, focusCallCB, d);
}

}  // namespace

const char* log_call_from(const char* selection, const char* callBoxCall) {
    static std::string call;
    const auto trimmed = [](const char* text) {
        std::string t = text != nullptr ? text : "";
        const auto edge = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '/';
        };
        while (!t.empty() && edge(t.front())) t.erase(t.begin());
        while (!t.empty() && edge(t.back())) t.pop_back();
        for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return t;
    };
    call = trimmed(selection);
    // A selection of more than one word is not a call.
    if (call.empty() || call.find_first_of(" \t\n") != std::string::npos) {
        call = trimmed(callBoxCall);
    }
    return call.c_str();
}

void log_dialog_open(MainWindow* mw) {
    LogDialog* d = &mw->log;
    if (d->dialog == nullptr) build(mw);

    const std::string selection = selectedText(mw);
    setField(d, CALL, log_call_from(selection.c_str(), callBoxCall().c_str()));
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%Y%m%d", &utc);
    std::strftime(time, sizeof time, "%H%M%S", &utc);
    setField(d, QSO_DATE, date);
    setField(d, TIME_ON, time);

    const ServerDial dial = server_get_dial();
    std::string freq;
    std::string band;
    if (dial.hz > 0) {
        const double hz = radio_frequency_hz(radio_dial{dial.hz, dial.lsb != 0},
                                             static_cast<double>(mw->resources->rxFreq));
        char mhz[32];
        std::snprintf(mhz, sizeof mhz, "%.6f", hz / 1e6);
        freq = mhz;
        band = amateur_band(hz / 1e6);
    }
    setField(d, FREQ, freq);
    setField(d, BAND, band);
    setField(d, MODE, "PSK");
    setField(d, SUBMODE, XmToggleButtonGetState(mw->controls.qpskTB) ? "QPSK31" : "PSK31");
    setField(d, RST_SENT, "599");
    setField(d, RST_RCVD, "599");
    setField(d, NAME, "");
    setField(d, COMMENT, "");
    setMessage(d, "");
    XtManageChild(d->dialog);
    XmProcessTraversal(d->fields[CALL], XmTRAVERSE_CURRENT);
}
