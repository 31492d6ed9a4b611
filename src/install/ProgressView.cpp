#include "install/ProgressView.h"

#include "support/Strings.h"

namespace quillon {
namespace {

std::string BuiltInText(int control) {
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

} // namespace

std::string DefaultProgressText(int control) {
    // The interface language's text of the dialog's control, as the window shows it.
    return LoadText("ProgressPage.ctl" + std::to_string(control) + ".text", BuiltInText(control));
}

} // namespace quillon
