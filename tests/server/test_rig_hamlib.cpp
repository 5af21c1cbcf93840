// CAT keying on Hamlib itself: its dummy rig (model 1) in this process.
#include <gtest/gtest.h>
#include <hamlib/rig.h>

#include <string>
#include <vector>

#include "fake_io.h"
#include "transmission.h"

namespace {

ptt_t ptt_of(void* rig) {
    ptt_t ptt = RIG_PTT_ON_DATA;  // neither of the two answers expected
    rig_get_ptt(static_cast<RIG*>(rig), RIG_VFO_CURR, &ptt);
    return ptt;
}

TEST(HamlibRig, DummyRigIsKeyedExactlyWhileTheTransmissionPlays) {
    // The test asks the rig for its PTT from the audio path: no dial reads beside it
    // (the rig thread makes every other call).
    static rig_io keying_only = hamlib_rig_io;
    keying_only.get_dial = nullptr;
    ServerPtt settings;
    settings.method = PttMethod::cat;
    settings.rig_model = 1;
    settings.rig_port = "";  // the dummy has no port; a host:port would send it to the network
    testing::internal::CaptureStderr();
    transmission t("/dev/ttyS1", -1, settings, nullptr, recorded_ptt{}, &keying_only);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "Hamlib keeps its trace to itself";
    void* rig = t.s->keyer.rig.rig;
    ASSERT_NE(rig, nullptr) << t.s->keyer.problem;
    EXPECT_EQ(t.s->keyer.rig.name, "Hamlib model 1");
    EXPECT_EQ(ptt_of(rig), RIG_PTT_OFF);

    std::vector<ptt_t> while_writing;
    ptt_t at_drain = RIG_PTT_ON_DATA;
    t.audio.on_write = [&] { while_writing.push_back(ptt_of(rig)); };
    t.audio.on_drain = [&] { at_drain = ptt_of(rig); };
    t.run("e");
    ASSERT_FALSE(while_writing.empty());
    EXPECT_EQ(while_writing, std::vector<ptt_t>(while_writing.size(), RIG_PTT_ON));
    EXPECT_EQ(at_drain, RIG_PTT_ON);
    EXPECT_EQ(ptt_of(rig), RIG_PTT_OFF);
    EXPECT_EQ(t.stderr_text, "");

    // As at exit: unkeyed and closed, and nothing is sent to a closed rig after it.
    ASSERT_EQ(hamlib_rig_io.set_ptt(rig, true), RIG_OK);
    rig_worker_stop(t.s->rig_thread, std::chrono::seconds(10));
    EXPECT_EQ(t.s->keyer.rig.rig, nullptr);
    EXPECT_EQ(keyer_key(*t.s->ptt, *t.s->rig, t.s->keyer, true), 0);
}

// A rigctld that does not answer is the black-box tests' (tests/app/blackbox_cat.sh).
TEST(HamlibRig, UnknownModelSaysSoInOneLine) {
    rig_link link;
    testing::internal::CaptureStderr();
    EXPECT_EQ(rig_open(hamlib_rig_io, 999999, "", 0, link), "no such rig model");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(link.rig, nullptr);
    EXPECT_FALSE(rig_key(hamlib_rig_io, link, true));
}

}  // namespace
