// The main of every test executable: the POSIX ports on a scratch hive and scratch home, cache
// and temporary folders, so that no test touches the machine's own registry or folders.
#include "platform/posix/PosixPorts.h"

#include <cstdlib>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string scratch = (fs::temp_directory_path() / "quillon-run-XXXXXX").string();
    if (!::mkdtemp(scratch.data()))
        return 2;
    fs::create_directories(scratch + "/home");
    fs::create_directories(scratch + "/tmp");
    ::setenv("QUILLON_REGISTRY", (scratch + "/registry.reg").c_str(), 1);
    ::setenv("HOME", (scratch + "/home").c_str(), 1);
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("TMPDIR", (scratch + "/tmp").c_str(), 1);
    quillon::posix::InstallPosixPorts();

    ::testing::InitGoogleMock(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return rc;
}
