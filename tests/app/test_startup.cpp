// The start-up report and the serial-port permission check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/ptt_report.h"
#include "app/resources.h"
#include "app/startup.h"

namespace {

struct Names {
    std::vector<std::string> storage;
    std::vector<String> list;
    explicit Names(std::vector<std::string> names) : storage(std::move(names)) {
        for (std::string& s : storage) list.push_back(s.data());
        list.push_back(nullptr);
    }
};

AppResources resources(Names& names, const char* call, int ptt, const char* serDev) {
    AppResources r{};
    r.buttonNames = names.list.data();
    r.call = const_cast<char*>(call);
    r.ptt = ptt;
    r.serDev = const_cast<char*>(serDev);
    return r;
}

}  // namespace

TEST(StartupReport, ListsVersionsCallFilesAndDevice) {
    Names names({"qso1", "qso2"});
    const std::string report =
        startupReport("Reading /h/.vordaDir/.vorda.dat\n", "Motif Version 2.3.8",
                      "Motif Version 2.3.8", resources(names, "DL1ABC", 1, "/dev/ttyUSB0,1"));
    EXPECT_EQ(report,
              "Reading /h/.vordaDir/.vorda.dat\n"
              "Compiled with Motif Version 2.3.8\n"
              "Running  with Motif Version 2.3.8\n"
              "Vorda Application Resources\n"
              "   Call:  DL1ABC\n"
              "   File Names:\n"
              "      qso1,\n"
              "      qso2\n"
              "   PTT Device:  /dev/ttyUSB0,1\n");
}

TEST(StartupReport, PttOtherThanOneReadsDisabled) {
    Names one({"cq"});
    for (int ptt : {0, 2}) {
        const std::string report =
            startupReport("", "A", "B", resources(one, " ", ptt, "/dev/ttyS1"));
        EXPECT_NE(report.find("      cq\n   PTT Device:  disabled\n"), std::string::npos)
            << report;
        EXPECT_EQ(report.find("/dev/ttyS1"), std::string::npos);
    }
}

TEST(StartupReport, PttAskedForButNotKeyingIsSaid) {
    Names one({"cq"});
    EXPECT_EQ(pttWarning(resources(one, " ", 1, "/dev/ttyUSB0"), true, ""), "");
    EXPECT_EQ(pttWarning(resources(one, " ", 0, ""), false, ""), "");
    EXPECT_EQ(pttWarning(resources(one, " ", 1, "/dev/ttyUSB0"), false, ""),
              "PTT device /dev/ttyUSB0 is not usable: Xmit will not key the radio\n");
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(pttWarning(resources(one, " ", 1, none), false, ""),
                  "PTT is on but serDev names no serial device: Xmit will not key the radio\n");
    }
}

TEST(DialoutCheck, MembershipIsAnExactNameMatch) {
    char a[] = "alice";
    char b[] = "bob";
    char* members[] = {a, b, nullptr};
    group g{};
    g.gr_mem = members;
    EXPECT_TRUE(isGroupMember(&g, "bob"));
    EXPECT_FALSE(isGroupMember(&g, "bo"));
    EXPECT_FALSE(isGroupMember(&g, "bobby"));
    EXPECT_FALSE(isGroupMember(&g, nullptr));
    char* none[] = {nullptr};
    g.gr_mem = none;
    EXPECT_FALSE(isGroupMember(&g, "alice"));
}

TEST(DialoutCheck, UserNameFallsBackToThePasswordDatabase) {
    const char* saved = std::getenv("LOGNAME");
    const std::string savedValue = saved ? saved : "";
    setenv("LOGNAME", "somebody", 1);
    EXPECT_STREQ(loginName(), "somebody");
    unsetenv("LOGNAME");
    const char* name = loginName();
    ASSERT_NE(name, nullptr);
    EXPECT_STRNE(name, "");
    if (saved) setenv("LOGNAME", savedValue.c_str(), 1);
}
