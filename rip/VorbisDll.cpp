#include "VorbisDll.h"

namespace VorbisDll {

namespace {
std::string twoDigits(unsigned value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}
}  // namespace

std::string VersionText(const VbVersionInfo& info) {
    return "Ver " + std::to_string(info.byMajor) + "." + twoDigits(info.byMinor) +
           " (Engine Ver : " + std::to_string(info.byEngineMajor) + "." +
           twoDigits(info.byEngineMinor) + ", Date : " + std::to_string(info.wYear) + "-" +
           std::to_string(info.byMonth) + "-" + std::to_string(info.byDay) + ")";
}

}  // namespace VorbisDll
