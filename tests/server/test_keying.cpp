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

TEST(CatKeying, RigIsKeyedAfterTheBeginWordAndUnkeyedOnceThePlaybackHasDrained) {
    scripted_rig rig;
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    EXPECT_EQ(rig.opened, std::vector<std::string>{"3073 /dev/ttyUSB0 19200"});
    EXPECT_TRUE(t.ptt.opened.empty()) << "serDev is no business of CAT keying";
    EXPECT_EQ(status_of(*t.s).ptt, 1);
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
}

struct refusal_case {
    std::vector<int> answers;  // the rig's, command by command
    std::vector<bool> told;    // key (true) and unkey commands the rig got
    const char* reported;      // on standard error
    int32_t unkeyed;
    int32_t unkey_failed;
};

// A refusal is sent once more; a second one is reported and counted for the window.
// The end always unkeys: the rig may have keyed on a command whose answer was lost.
TEST(CatKeying, RefusedCommandsAreSentOnceMoreThenReportedAndTheEndAlwaysUnkeys) {
    const std::string rig_name = "PTT by CAT: Hamlib model 3073 at /dev/ttyUSB0, 19200 bit/s ";
    const std::string timed_out =
        rig_name + "did not take the key command: Communication timed out\n";
    const std::string io_error = rig_name + "did not take the unkey command: IO error\n";
    for (const refusal_case& c :
         {refusal_case{{-5, 0, -5, 0}, {true, true, false, false}, "", 0, 0},
          refusal_case{{-5, -5}, {true, true, false}, timed_out.c_str(), 1, 0},
          refusal_case{{0, -6, -6}, {true, false, false}, io_error.c_str(), 0, 1}}) {
        scripted_rig rig;
        rig.refusals = c.answers;
        transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
        t.run("e");
        EXPECT_EQ(told(rig), c.told);
        EXPECT_EQ(t.stderr_text, c.reported);
        EXPECT_EQ(drain(*t.s, 0), "e") << "the transmission went out and ended all the same";
        EXPECT_EQ(t.s->transmitting.load(), 0);
        EXPECT_EQ(status_of(*t.s).unkeyed, c.unkeyed);
        EXPECT_EQ(status_of(*t.s).unkey_failed, c.unkey_failed);
    }
}

// A rigctld that came up late, or that the program sharing the radio restarted: a
// command refused on a lost connection is sent again at once over a fresh one.
TEST(CatKeying, RigNeverOpenedOrLostIsOpenedAfreshBeforeTheNextKey) {
    scripted_rig rig;
    rig.open_error = -6;
    transmission t("/dev/ttyS1", -1, cat_on_serial_port(), &rig);
    rig.open_error = 0;
    rig.refusals = {0, 0, -6, -6, -6, -6};  // the second transmission finds it gone
    for (const char* text : {"a", "b", "c"}) t.run(text);
    EXPECT_EQ(told(rig), (std::vector<bool>{true, false, true, true, false, false, true, false}));
    EXPECT_EQ(rig.opened.size(), 5u);  // start, first key, both commands of "b", key of "c"
    EXPECT_EQ(rig.closes, 3);
    EXPECT_EQ(status_of(*t.s).unkeyed, 1);
    EXPECT_EQ(status_of(*t.s).unkey_failed, 1);
}

TEST(Keying, EveryTransmissionIsCountedWhileNothingOpenedCanKey) {
    for (PttMethod method : {PttMethod::cat, PttMethod::dtr}) {
        scripted_rig rig;
        rig.open_error = -6;
        recorded_ptt absent;
        absent.open_errno = ENOENT;
        ServerPtt settings = cat_on_serial_port();
        settings.method = method;
        testing::internal::CaptureStderr();
        transmission t("/dev/ttyUSB7", -1, settings, &rig, absent);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status_of(*t.s).ptt, 0);
        t.run("a");
        t.run("b");
        EXPECT_EQ(drain(*t.s, 0), "ab");
        EXPECT_EQ(status_of(*t.s).unkeyed, 2);
        EXPECT_TRUE(rig.commands.empty());
        if (method == PttMethod::cat) {
            EXPECT_EQ(t.s->keyer.problem, "IO error");
            EXPECT_EQ(rig.opened.size(), 3u) << "tried again before each transmission";
        }
    }
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
        EXPECT_EQ(status_of(*t.s).unkeyed, 0) << "nothing was asked to key";
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
}

}  // namespace
