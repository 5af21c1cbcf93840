// Keying the radio by CAT command over a scripted rig, and by lines that fail: what
// the radio is told and when, and what a transmission does when it cannot be keyed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_io.h"
#include "transmission.h"

namespace {

ServerPtt cat_on_serial_port() {
    ServerPtt settings;
    settings.method = PttMethod::cat;
    settings.rig_model = 3073;
    settings.rig_port = "/dev/ttyUSB0";
    settings.rig_speed = 19200;
    return settings;
}

ServerStatus status_of(server_state& s) {
    ServerStatus status{};
    EXPECT_EQ(server_get_status(s, 255, &status, sizeof status), 0);
    return status;
}

std::vector<bool> told(const scripted_rig& rig) {
    std::vector<bool> commands;
    for (const auto& c : rig.commands) commands.push_back(c.transmit);
    return commands;
}

constexpr const char* kRigName = "Hamlib model 3073 at /dev/ttyUSB0, 19200 bit/s";

TEST(CatKeying, RigIsKeyedAfterTheBeginWordAndUnkeyedOnceThePlaybackHasDrained) {
    scripted_rig rig;
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    EXPECT_EQ(rig.opened, std::vector<std::string>{"3073 /dev/ttyUSB0 19200"});
    EXPECT_TRUE(t.ptt.opened.empty()) << "serDev is no business of CAT keying";
    EXPECT_EQ(status_of(*t.s).ptt, 1);
    EXPECT_EQ(t.s->keyer.problem, "");
    t.run("e");
    ASSERT_EQ(told(rig), (std::vector<bool>{true, false}));
    const keying_moment& key = rig.commands[0].at;
    EXPECT_EQ(key.writes, 0);
    EXPECT_EQ(key.transmitting, 1);
    const keying_moment& unkey = rig.commands[1].at;
    EXPECT_EQ(unkey.drains, 1);
    EXPECT_EQ(unkey.writes, t.audio.writes.load());
    EXPECT_EQ(unkey.transmitting, 0);
    EXPECT_EQ(t.stderr_text, "");
    EXPECT_EQ(status_of(*t.s).unkeyed, 0);
    EXPECT_EQ(status_of(*t.s).unkey_failed, 0);
}

TEST(CatKeying, RigThatDidNotOpenLeavesEveryTransmissionUnkeyedAndCounted) {
    scripted_rig rig;
    rig.open_error = -6;
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    EXPECT_EQ(t.s->keyer.problem, "IO error");
    EXPECT_EQ(status_of(*t.s).ptt, 0);
    t.run("a");
    t.run("b");
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(drain(*t.s, 0), "ab") << "both went out";
    EXPECT_TRUE(rig.commands.empty());
    EXPECT_EQ(status_of(*t.s).unkeyed, 2);
    EXPECT_EQ(status_of(*t.s).unkey_failed, 0);
}

TEST(CatKeying, CommandRefusedOnceIsTakenTheSecondTime) {
    scripted_rig rig;
    rig.refusals = {-5, 0, -5, 0};
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    t.run("e");
    EXPECT_EQ(told(rig), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(t.stderr_text, "");
    EXPECT_EQ(status_of(*t.s).unkeyed, 0);
    EXPECT_EQ(status_of(*t.s).unkey_failed, 0);
}

TEST(CatKeying, KeyRefusedTwiceIsReportedAndTheEndStillUnkeys) {
    scripted_rig rig;
    rig.refusals = {-5, -5};
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    t.run("e");
    // The rig may have keyed all the same (a lost answer), so it is told to unkey.
    EXPECT_EQ(told(rig), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(t.stderr_text, std::string("PTT by CAT: ") + kRigName +
                                 " did not take the key command: Communication timed out\n");
    EXPECT_EQ(drain(*t.s, 0), "e");
    EXPECT_EQ(status_of(*t.s).unkeyed, 1);
    EXPECT_EQ(status_of(*t.s).unkey_failed, 0);
}

TEST(CatKeying, UnkeyRefusedTwiceIsReportedAndTheNextTransmissionKeysAgain) {
    scripted_rig rig;
    rig.refusals = {0, -6, -6};
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    t.run("e");
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.s->transmitting.load(), 0);
    EXPECT_EQ(told(rig), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(t.stderr_text, std::string("PTT by CAT: ") + kRigName +
                                 " did not take the unkey command: IO error\n");
    EXPECT_EQ(status_of(*t.s).unkey_failed, 1);
    EXPECT_EQ(status_of(*t.s).unkeyed, 0);
    t.run("f");
    EXPECT_EQ(told(rig), (std::vector<bool>{true, false, false, true, false}));
    EXPECT_EQ(status_of(*t.s).unkey_failed, 1);
}

TEST(Keying, NothingIsOpenedOrCountedWithoutADeviceOrWithMethodNone) {
    for (PttMethod method : {PttMethod::cat, PttMethod::none}) {
        scripted_rig rig;
        ServerPtt settings = cat_on_serial_port();
        settings.method = method;
        // ptt 0 gives no device whatever the method; none ignores the one it gets.
        transmission t(method == PttMethod::cat ? nullptr : "/dev/ttyS1", -1, settings, &rig);
        t.run("e");
        EXPECT_TRUE(rig.opened.empty());
        EXPECT_TRUE(t.ptt.opened.empty());
        EXPECT_EQ(status_of(*t.s).ptt, 0);
        EXPECT_EQ(status_of(*t.s).unkeyed, 0) << "nothing was asked to key";
        EXPECT_EQ(t.stderr_text, "");
    }
}

TEST(Keying, LineThatDidNotOpenLeavesEveryTransmissionCounted) {
    for (PttMethod method : {PttMethod::rts, PttMethod::dtr}) {
        ServerPtt settings;
        settings.method = method;
        recorded_ptt absent;
        absent.open_errno = ENOENT;
        testing::internal::CaptureStderr();
        transmission t("/dev/ttyUSB7", -1, settings, nullptr, absent);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Cannot open PTT device /dev/ttyUSB7: No such file or directory\n");
        EXPECT_EQ(status_of(*t.s).ptt, 0);
        t.run("a");
        t.run("b");
        EXPECT_EQ(status_of(*t.s).unkeyed, 2);
    }
}

TEST(Keying, LineThatRefusesTheUnkeyIsReported) {
    ServerPtt settings;
    settings.method = PttMethod::dtr;
    transmission t("/dev/ttyUSB0", -1, settings);
    t.ptt.refused_change = 2;  // the idle level at start, the key, then the unkey
    t.run("e");
    EXPECT_EQ(t.stderr_text,
              "PTT device /dev/ttyUSB0 refused to unkey the radio: Input/output error\n");
    EXPECT_EQ(status_of(*t.s).unkey_failed, 1);
    EXPECT_EQ(status_of(*t.s).unkeyed, 0);
}

}  // namespace
