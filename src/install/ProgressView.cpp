#include "install/ProgressView.h"

namespace quillon {

std::string DefaultProgressText(int control) {
    switch (control) {
    case kCtlStatus: return "Идет процесс установки выбранных словарей.";
    case kCtlItem: return "Устанавливается\n%s";
    case kCtlTotalDictionaries: return "Общее число устанавливаемых словарей - %d";
    case kCtlDictionaryNumber: return "Устанавливается %d-й словарь";
    case kCtlTotalProfiles: return "Общее число устанавливаемых профилей перевода - %d";
    case kCtlProfileNumber: return "Устанавливается %d-й профиль перевода";
    case kCtlTotalBasesTM: return "Общее число устанавливаемых баз TM - %d";
    case kCtlBaseTMNumber: return "Устанавливается %d-ая база TM";
    default: return {};
    }
}

} // namespace quillon
