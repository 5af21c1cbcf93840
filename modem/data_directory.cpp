#include "modem/data_directory.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

std::string dataDirectoryFor(const char* builtIn) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return builtIn;
    const std::string beside = (self.parent_path().parent_path() / "share" / "vorda").string();
    return access((beside + "/psk31.cod").c_str(), R_OK) == 0 ? beside : builtIn;
}
