// CAT keying on Hamlib itself: its dummy rig (model 1) in this process, and a
// rigctld address where nothing answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <hamlib/rig.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A local port nothing listens on: bound once by the kernel's choice, then let go.
int closed_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    close(fd);
    return ntohs(address.sin_port);
}

TEST(HamlibRig, DummyRigIsKeyedExactlyWhileTheTransmissionPlays) {
    ServerPtt settings;
    settings.method = PttMethod::cat;
    settings.rig_model = 1;
    settings.rig_port = "";  // the dummy has no port; a host:port would send it to the network
    testing::internal::CaptureStderr();
    transmission t("/dev/ttyS1", -1, settings);
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
    keyer_release(*t.s->ptt, *t.s->rig, t.s->keyer);
    EXPECT_EQ(t.s->keyer.rig.rig, nullptr);
    EXPECT_EQ(keyer_key(*t.s->ptt, *t.s->rig, t.s->keyer, true), 0);
}

TEST(HamlibRig, RigThatDoesNotOpenSaysWhyInOneLine) {
    const int port = closed_port();
    ASSERT_GT(port, 0);
    const std::string address = "127.0.0.1:" + std::to_string(port);
    struct attempt {
        int32_t model;
        std::string port;
        const char* reason;
    };
    for (const attempt& a :
         {attempt{999999, "", "no such rig model"}, attempt{2, address, "IO error"}}) {
        rig_link link;
        testing::internal::CaptureStderr();
        EXPECT_EQ(rig_open(hamlib_rig_io, a.model, a.port.c_str(), 0, link), a.reason);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(link.rig, nullptr);
        EXPECT_FALSE(rig_key(hamlib_rig_io, link, true));
    }
}

}  // namespace
