// Letter case for the ASCII texts the program compares: extensions, switches.
#include "common/ascii_text.h"

namespace velmora {

std::string AsciiUpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

}  // namespace velmora
