#include "app/ptt_report.h"

#include "app/resources.h"

namespace {

const char* methodName(PttMethod method) {
    switch (method) {
        case PttMethod::dtr:
            return "DTR";
        case PttMethod::cat:
            return "CAT";
        case PttMethod::none:
            return "none";
        default:
            return "RTS";
    }
}

std::string rigName(const AppResources& r) {
    std::string name = "Hamlib model " + std::to_string(r.rigModel);
    if (r.rigPort != nullptr && r.rigPort[0] != '\0') name += std::string(" at ") + r.rigPort;
    if (r.rigSpeed > 0) name += ", " + std::to_string(r.rigSpeed) + " bit/s";
    return name;
}

}  // namespace

ServerPtt serverPttOf(const AppResources& resources) {
    ServerPtt ptt;
    ptt.method = resources.keying;
    ptt.rig_model = resources.rigModel;
    ptt.rig_port = resources.rigPort != nullptr ? resources.rigPort : "";
    ptt.rig_speed = resources.rigSpeed;
    ptt.rig_read = resources.rigRead;
    return ptt;
}

std::string pttDevice(const AppResources& resources) {
    if (resources.ptt != 1) return "disabled";
    switch (resources.keying) {
        case PttMethod::cat:
            return "CAT, " + rigName(resources);
        case PttMethod::none:
            return "none (VOX or manual keying)";
        default:
            break;
    }
    if (resources.serDev == nullptr) return "disabled";
    return std::string(resources.serDev) +
           (resources.keying == PttMethod::dtr ? " (DTR line)" : "");
}

std::string pttWarning(const AppResources& resources, bool keying, const char* problem) {
    if (resources.ptt == 0 || keying || resources.keying == PttMethod::none) return "";
    if (resources.keying == PttMethod::cat) {
        return "Cannot open the rig, " + rigName(resources) + ": " +
               (problem != nullptr && problem[0] != '\0' ? problem : "unknown reason") +
               ": Xmit will not key the radio\n";
    }
    if (resources.serDev == nullptr || resources.serDev[0] == '\0') {
        return "PTT is on but serDev names no serial device: Xmit will not key the radio\n";
    }
    return std::string("PTT device ") + resources.serDev +
           " is not usable: Xmit will not key the radio\n";
}

std::string unkeyedNotice(const AppResources& resources) {
    return std::string("PTT by ") + methodName(resources.keying) +
           " is not working: this transmission does not key the radio\n";
}

std::string unkeyFailedNotice(const AppResources& resources) {
    return std::string("PTT by ") + methodName(resources.keying) +
           ": the radio refused to unkey and may still be transmitting\n";
}
