// The call-box segment against real System V shared memory, on a key of the
// test's own so that a running program's segment 6146 is never touched.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "gui/callbox_shm.h"

namespace {

class CallBoxSegment : public ::testing::Test {
protected:
    // One key per test process: the test cases may run in parallel.
    const key_t key = static_cast<key_t>(0x56440000 + (getpid() & 0xFFFF));

    void SetUp() override { remove(); }
    void TearDown() override { remove(); }

    void remove() {
        const int id = shmget(key, 0, 0);
        if (id >= 0) shmctl(id, IPC_RMID, nullptr);
    }
};

}  // namespace

TEST_F(CallBoxSegment, CreatedOnceAndShared) {
    int id = -1;
    char* box = callbox_create(key, &id);
    ASSERT_NE(box, nullptr);
    shmid_ds ds;
    ASSERT_EQ(shmctl(id, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_segsz, 24u);
    EXPECT_EQ(ds.shm_perm.mode & 0777, 0600u);

    // A second copy of the program attaches the same segment.
    int id2 = -1;
    char* second = callbox_create(key, &id2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(id2, id);
    callbox_store(box, "ABC");
    EXPECT_EQ(std::memcmp(second, "ABC\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 24), 0);
    shmdt(second);
    shmdt(box);
}

TEST_F(CallBoxSegment, StoresWithPaddingAndCutsAt24) {
    int id = -1;
    char* box = callbox_create(key, &id);
    ASSERT_NE(box, nullptr);
    callbox_store(box, "W1ABC");
    EXPECT_EQ(callbox_call(box), "W1ABC");
    callbox_store(box, "");
    for (int i = 0; i < kCallSize; ++i) EXPECT_EQ(box[i], '\0') << i;
    EXPECT_EQ(callbox_call(box), "");

    const std::string longCall = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    callbox_store(box, longCall.c_str());
    EXPECT_EQ(std::memcmp(box, longCall.data(), 24), 0);  // no NUL in the segment
    EXPECT_EQ(callbox_call(box), longCall.substr(0, 24));
    shmdt(box);
}

TEST_F(CallBoxSegment, ActionsSeeAnotherWriterAndDetach) {
    // The logging program's side, written with plain system calls.
    const int id = shmget(key, 24, IPC_CREAT | 0666);
    ASSERT_GE(id, 0);
    char* kesto = static_cast<char*>(shmat(id, nullptr, 0));
    ASSERT_NE(kesto, reinterpret_cast<char*>(-1));
    std::memset(kesto, 0, 24);
    std::memcpy(kesto, "DL1XYZ", 6);

    std::string call;
    EXPECT_EQ(callbox_fetch(key, call), kCallFound);
    EXPECT_EQ(call, "DL1XYZ");
    shmid_ds ds;
    ASSERT_EQ(shmctl(id, IPC_STAT, &ds), 0);
    EXPECT_EQ(ds.shm_nattch, 1u);  // only the logger's attachment is left
    shmdt(kesto);
}

TEST_F(CallBoxSegment, ActionsWithoutSegmentOrPermission) {
    std::string call = "stale";
    testing::internal::CaptureStderr();
    EXPECT_EQ(callbox_fetch(key, call), kNoSegment);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No kesto!\n");
    EXPECT_EQ(call, "");

    // A segment this user may not read is refused by the lookup itself, which asks
    // for read and write access, so it reads as no logger at all.
    if (geteuid() == 0) GTEST_SKIP() << "root uses a segment whatever its permissions";
    ASSERT_GE(shmget(key, 24, IPC_CREAT | 0200), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(callbox_fetch(key, call), kNoSegment);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No kesto!\n");
}
