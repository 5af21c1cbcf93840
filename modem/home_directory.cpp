#include "modem/home_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string homeDirectory() {
    // An empty HOME would put per-user files at the filesystem root.
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "";
}
