// Every case gets a process of its own, as under CTest: the cases share one Motif
// application per process, and the keys and windows one case leaves behind (the
// X server has no window manager here) must not steer the next one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A chosen case, or a listing for CTest, runs here as usual.
    if (GTEST_FLAG_GET(filter) != "*" || GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    std::vector<std::string> names;
    testing::UnitTest* all = testing::UnitTest::GetInstance();
    for (int i = 0; i < all->total_test_suite_count(); ++i) {
        const testing::TestSuite* suite = all->GetTestSuite(i);
        for (int j = 0; j < suite->total_test_count(); ++j) {
            names.push_back(std::string(suite->name()) + "." + suite->GetTestInfo(j)->name());
        }
    }
    std::vector<std::string> failed;
    for (const std::string& name : names) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) return 1;
        if (child == 0) {
            GTEST_FLAG_SET(filter, name);
            _exit(RUN_ALL_TESTS());
        }
        int status = 0;
        if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            failed.push_back(name);
        }
    }
    std::printf("\n%zu cases, each in its own process: %zu failed\n", names.size(), failed.size());
    for (const std::string& name : failed) std::printf("  FAILED %s\n", name.c_str());
    return failed.empty() ? 0 : 1;
}
