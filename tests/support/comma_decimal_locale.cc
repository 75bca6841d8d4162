#include "tests/support/comma_decimal_locale.h"

#include <clocale>
#include <cstring>

namespace Norv::Testing {

CommaDecimalLocale::CommaDecimalLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "fr_FR.UTF-8"};
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            name_ = name;
            return;
        }
    }
    std::setlocale(LC_ALL, previous_.c_str());
}

CommaDecimalLocale::~CommaDecimalLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
}

}  // namespace Norv::Testing
