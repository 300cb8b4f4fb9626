#include "lang/lang.h"

namespace lvm {

bool IsRussianLocale(uint32_t lcid) {
    switch (lcid) {
        case 1026:  // Bulgarian (Bulgaria)
        case 1049:  // Russian (Russia)
        case 1058:  // Ukrainian (Ukraine)
        case 1059:  // Belarusian (Belarus)
        case 1087:  // Kazakh (Kazakhstan)
        case 1092:  // Tatar (Russia)
        case 2073:  // Russian (Moldova)
            return true;
        default:
            return false;
    }
}

}  // namespace lvm
