#include "app/console_services.h"

#include <cctype>
#include <ctime>

#include "app/adif.h"
#include "app/contact_log.h"
#include "app/resources.h"
#include "app/band_place.h"
#include "app/shutdown.h"
#include "app/state_file.h"

namespace {

void savedPosition(int slot, int* x, int* y) {
    const WindowPosition& saved = stateValues.decoderPos[slot];
    *x = saved.x;
    *y = saved.y;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string logContact(const std::vector<std::pair<std::string, std::string>>& fields,
                       bool* logged) {
    *logged = false;
    AdifRecord record;
    for (const auto& [name, value] : fields) record.push_back({name, trimmed(value)});
    for (AdifField& f : record) {
        if (f.name != "CALL") continue;
        for (char& c : f.value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (const std::string problem = adifContactProblem(record); !problem.empty()) return problem;

    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char created[32];
    std::strftime(created, sizeof created, "%Y%m%d %H%M%S", &utc);
    const std::string text = adifRecord(record);
    const std::string problem =
        contactLogAppend(contactLogPath(), adifHeader(VORDA_VERSION, created), text);
    if (!problem.empty()) return problem;
    *logged = true;
    const char* udp = appResources.logUdp;
    if (udp == nullptr || udp[0] == '\0') return "";
    // The file holds the contact already: a logger that did not get it is told about.
    return contactLogSend(udp, text);
}

}  // namespace

std::string contactLogPath() { return qsoDirectory() + "/vorda.adi"; }

ConsoleServices consoleServices() {
    return {quitProgram, savedPosition, qsoDirectory, logContact, savedBandPlace};
}
