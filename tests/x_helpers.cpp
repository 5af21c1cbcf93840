#include "x_helpers.h"

#include <Xm/Text.h>
#include <Xm/TextF.h>

std::string textOf(Widget text) {
    wchar_t* value = XmIsTextField(text) ? XmTextFieldGetStringWcs(text) : XmTextGetStringWcs(text);
    std::string result;
    for (const wchar_t* c = value; c != nullptr && *c != L'\0'; ++c) {
        result += *c <= 0xFF ? static_cast<char>(*c) : '\x1A';  // not Latin-1
    }
    XtFree(reinterpret_cast<char*>(value));
    return result;
}

std::string labelOf(Widget w, const char* resource) {
    XmString label = nullptr;
    XtVaGetValues(w, resource, &label, nullptr);
    if (label == nullptr) return "";
    char* s = static_cast<char*>(
        XmStringUnparse(label, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    std::string text = s != nullptr ? s : "";
    XtFree(s);
    XmStringFree(label);
    return text;
}
