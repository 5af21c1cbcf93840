// The keying method as the operator writes it, and what the program says about
// keying at start-up when nothing keys the radio.
#include <gtest/gtest.h>

#include <string>

#include "app/ptt_report.h"
#include "app/resources.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(PttMethodResource, CaseAndBlanksAsideNamesTheMethod) {
    struct named {
        const char* text;
        PttMethod method;
    };
    for (const named& n : {named{"rts", PttMethod::rts}, named{"DTR", PttMethod::dtr},
                           named{" Cat\t", PttMethod::cat}, named{"none", PttMethod::none},
                           named{nullptr, PttMethod::rts}}) {
        CaptureStderr();
        EXPECT_EQ(pttMethodOf(n.text), n.method) << (n.text != nullptr ? n.text : "(unset)");
        EXPECT_EQ(GetCapturedStderr(), "");
    }
}

TEST(PttMethodResource, AnythingElseIsReportedAndKeysByRts) {
    for (const char* text : {"vox", "", "rts dtr"}) {
        CaptureStderr();
        EXPECT_EQ(pttMethodOf(text), PttMethod::rts);
        EXPECT_EQ(GetCapturedStderr(), std::string("vorda: resource pttMethod '") + text +
                                           "' is not rts, dtr, cat or none; rts is used\n");
    }
}

AppResources keyed(PttMethod method, int ptt = 1) {
    AppResources r{};
    r.ptt = ptt;
    r.keying = method;
    r.serDev = const_cast<char*>("/dev/ttyUSB0,1");
    r.rigModel = 2;
    r.rigPort = const_cast<char*>("localhost:4532");
    return r;
}

TEST(PttReport, RigThatDidNotOpenIsOneLineWithTheReason) {
    EXPECT_EQ(pttWarning(keyed(PttMethod::cat), false, "IO error"),
              "Cannot open the rig, Hamlib model 2 at localhost:4532: IO error: Xmit will not "
              "key the radio\n");
    EXPECT_EQ(pttWarning(keyed(PttMethod::cat), true, ""), "");
    EXPECT_EQ(pttWarning(keyed(PttMethod::cat, 0), false, ""), "") << "ptt 0 keys nothing";
    EXPECT_EQ(pttWarning(keyed(PttMethod::none), false, ""), "") << "VOX is no fault";
    EXPECT_EQ(pttWarning(keyed(PttMethod::dtr), false, ""),
              "PTT device /dev/ttyUSB0,1 is not usable: Xmit will not key the radio\n");
}

}  // namespace
