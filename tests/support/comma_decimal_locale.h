// Switches the process to a locale whose decimal separator is a comma, to show
// that rendering and number reading ignore the process locale. The setup
// script generates one on Linux; Windows (and Wine) carry their own.
#pragma once

#include <string>

namespace Norv::Testing {

class CommaDecimalLocale {
public:
    // Tries the usual names; Active() tells whether one took.
    CommaDecimalLocale();
    // Restores the locale that was in effect before.
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool Active() const { return !name_.empty(); }

private:
    std::string previous_;
    std::string name_;
};

}  // namespace Norv::Testing
