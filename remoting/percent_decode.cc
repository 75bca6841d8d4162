#include "remoting/percent_decode.h"

namespace Norv {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else if (text.size() - i > 2) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            // Anything but two digits is no escape: inventing a byte for it
            // (a NUL, say) would hand the function text nobody sent.
            if (high < 0 || low < 0) {
                decoded += c;
            } else {
                decoded += static_cast<char>(high << 4 | low);
                i += 2;
            }
        }
    }
    return decoded;
}

}  // namespace Norv
