#include "app/resources.h"

#include <X11/StringDefs.h>

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

AppResources appResources;

namespace {

// Defaults of 0 come from the zeroed record: those resources have none of their own.
XtResource resourceTable[] = {
    {const_cast<char*>("buttonNames"), const_cast<char*>("ButtonNames"),
     const_cast<char*>(XtRStringTable), sizeof(String*), offsetof(AppResources, buttonNames),
     const_cast<char*>(XtRString), const_cast<char*>("-1")},
    {const_cast<char*>("xmitHighlight"), const_cast<char*>("XmitHighlight"),
     const_cast<char*>(XtRInt), sizeof(int), offsetof(AppResources, xmitHighlight),
     const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("rxFreq"), const_cast<char*>("RxFreq"), const_cast<char*>(XtRFloat),
     sizeof(float), offsetof(AppResources, rxFreq), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("txFreq"), const_cast<char*>("TxFreq"), const_cast<char*>(XtRFloat),
     sizeof(float), offsetof(AppResources, txFreq), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("afc"), const_cast<char*>("Afc"), const_cast<char*>(XtRInt), sizeof(int),
     offsetof(AppResources, afc), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("net"), const_cast<char*>("Net"), const_cast<char*>(XtRInt), sizeof(int),
     offsetof(AppResources, net), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("call"), const_cast<char*>("Call"), const_cast<char*>(XtRString),
     sizeof(String), offsetof(AppResources, call), const_cast<char*>(XtRString),
     const_cast<char*>(" ")},
    {const_cast<char*>("zero"), const_cast<char*>("Zero"), const_cast<char*>(XtRInt), sizeof(int),
     offsetof(AppResources, zero), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("serDev"), const_cast<char*>("SerDev"), const_cast<char*>(XtRString),
     sizeof(String), offsetof(AppResources, serDev), const_cast<char*>(XtRString),
     const_cast<char*>("/dev/ttyS1")},
    {const_cast<char*>("ptt"), const_cast<char*>("Ptt"), const_cast<char*>(XtRInt), sizeof(int),
     offsetof(AppResources, ptt), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("pttMethod"), const_cast<char*>("PttMethod"), const_cast<char*>(XtRString),
     sizeof(String), offsetof(AppResources, pttMethod), const_cast<char*>(XtRString),
     const_cast<char*>("rts")},
    {const_cast<char*>("rigModel"), const_cast<char*>("RigModel"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, rigModel), const_cast<char*>(XtRImmediate),
     reinterpret_cast<XtPointer>(2)},
    {const_cast<char*>("rigPort"), const_cast<char*>("RigPort"), const_cast<char*>(XtRString),
     sizeof(String), offsetof(AppResources, rigPort), const_cast<char*>(XtRString),
     const_cast<char*>("localhost:4532")},
    {const_cast<char*>("rigSpeed"), const_cast<char*>("RigSpeed"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, rigSpeed), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("rigRead"), const_cast<char*>("RigRead"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, rigRead), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("logUdp"), const_cast<char*>("LogUdp"), const_cast<char*>(XtRString),
     sizeof(String), offsetof(AppResources, logUdp), const_cast<char*>(XtRString),
     const_cast<char*>("")},
    {const_cast<char*>("callBox"), const_cast<char*>("CallBox"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, callBox), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("postamble"), const_cast<char*>("Postamble"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, postamble), const_cast<char*>(XtRImmediate),
     reinterpret_cast<XtPointer>(1)},
    {const_cast<char*>("sampsize"), const_cast<char*>("Sampsize"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, sampsize), const_cast<char*>(XtRImmediate),
     reinterpret_cast<XtPointer>(8000)},
    {const_cast<char*>("bandBrowser"), const_cast<char*>("BandBrowser"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, bandBrowser), const_cast<char*>(XtRImmediate), nullptr},
    {const_cast<char*>("bandColumns"), const_cast<char*>("BandColumns"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, bandColumns), const_cast<char*>(XtRImmediate),
     reinterpret_cast<XtPointer>(80)},
    {const_cast<char*>("bandTimeout"), const_cast<char*>("BandTimeout"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, bandTimeout), const_cast<char*>(XtRImmediate),
     reinterpret_cast<XtPointer>(60)},
    {const_cast<char*>("bandLog"), const_cast<char*>("BandLog"), const_cast<char*>(XtRInt),
     sizeof(int), offsetof(AppResources, bandLog), const_cast<char*>(XtRImmediate), nullptr},
};

}  // namespace

void getAppResources(Widget shell, AppResources* resources) {
    XtGetApplicationResources(shell, resources, resourceTable, XtNumber(resourceTable), nullptr,
                              0);
    resources->rxFreq = resourceFrequency("rxFreq", resources->rxFreq);
    resources->txFreq = resourceFrequency("txFreq", resources->txFreq);
    resources->keying = pttMethodOf(resources->pttMethod);
}

PttMethod pttMethodOf(const char* text) {
    std::string name = text != nullptr ? text : "rts";
    const size_t first = name.find_first_not_of(" \t");
    const size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "rts") return PttMethod::rts;
    if (name == "dtr") return PttMethod::dtr;
    if (name == "cat") return PttMethod::cat;
    if (name == "none") return PttMethod::none;
    std::fprintf(stderr,
                 "vorda: resource pttMethod '%s' is not rts, dtr, cat or none; rts is used\n", text);
    return PttMethod::rts;
}

float resourceFrequency(const char* name, float hertz) {
    if (!std::isfinite(hertz)) {
        std::fprintf(stderr, "vorda: resource %s is not a frequency; %.1f Hz is used\n", name,
                     DEFAULT_FREQUENCY);
        return 0.0f;
    }
    if (hertz >= 0.0f && hertz <= MAX_RESOURCE_FREQUENCY) return hertz;
    const float limited = hertz < 0.0f ? 0.0f : MAX_RESOURCE_FREQUENCY;
    std::fprintf(stderr, "vorda: resource %s %g Hz is outside 0 to 4000 Hz; %.1f Hz is used\n",
                 name, static_cast<double>(hertz),
                 static_cast<double>(limited == 0.0f ? DEFAULT_FREQUENCY : limited));
    return limited;
}
