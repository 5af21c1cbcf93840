#include "app/startup.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/error_dialog.h"
#include "app/ptt_report.h"
#include "app/resources.h"

Widget topLevel = nullptr;

void searchOwnResourceFile(const std::string& dataDir) {
    if (std::getenv("XFILESEARCHPATH") != nullptr) return;
    const std::string own = dataDir + "/app-defaults/";
    if (access((own + "Vorda").c_str(), R_OK) != 0) return;
    const std::string path = own + "%N%C:" + own + "%N:" +
                             "/etc/X11/%L/%T/%N%C:/etc/X11/%L/%T/%N:/etc/X11/%T/%N%C:/etc/X11/%T/%N:"
                             "/usr/share/X11/%T/%N%C:/usr/share/X11/%T/%N";
    setenv("XFILESEARCHPATH", path.c_str(), 1);
}

std::string startupReport(const std::string& iniText, const char* compiledWith,
                          const char* runningWith, const AppResources& resources) {
    std::string report = iniText;
    report += std::string("Compiled with ") + compiledWith + "\n";
    report += std::string("Running  with ") + runningWith + "\n";
    report += "Vorda Application Resources\n   Call:  ";
    report += resources.call != nullptr ? resources.call : "";
    report += "\n   File Names:\n";
    const int n = countNames(resources.buttonNames);
    for (int i = 0; i < n; ++i) {
        report += std::string("      ") + resources.buttonNames[i] + (i + 1 < n ? "," : "") + "\n";
    }
    report += "   PTT Device:  " + pttDevice(resources) + "\n";
    return report;
}

bool isGroupMember(const group* group, const char* user) {
    if (group == nullptr || user == nullptr) return false;
    for (char** member = group->gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (std::strcmp(*member, user) == 0) return true;
    }
    return false;
}

const char* loginName() {
    if (const char* name = std::getenv("LOGNAME")) return name;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
    return nullptr;
}

bool checkDialout(Widget parent) {
    const char* user = loginName();
    const group* dialout = getgrnam("dialout");
    if (dialout == nullptr) {
        std::perror("getgrnam failed");
    } else if (isGroupMember(dialout, user)) {
        return false;
    }
    errorDialog(parent,
                "You are not a member of the dialout group.\nYou will not be able to use the "
                "serial device\nfor Push to Talk.\n\nPlease add yourself to the dialout group."
                "\n\nClick OK to exit or Cancel to continue",
                1, 0);
    return true;
}
