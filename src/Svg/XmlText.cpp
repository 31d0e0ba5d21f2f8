#include "Svg/Svg.h"

namespace Svg {

namespace {

// U+FFFD, the replacement character, in UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence of a character XML allows
// that starts at s[i], a byte of 0x80 or more; 0 when there is none. File
// names are bytes: an XML reader refuses the whole file over one bad one.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned char Lo = 0x80;  // the second byte's range; overlong forms and
    unsigned char Hi = 0xBF;  // surrogates are excluded there
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        Lo = c == 0xE0 ? 0xA0 : Lo;
        Hi = c == 0xED ? 0x9F : Hi;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        Lo = c == 0xF0 ? 0x90 : Lo;
        Hi = c == 0xF4 ? 0x8F : Hi;
    } else {
        return 0;
    }
    if (s.size() - i < n) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        auto d = static_cast<unsigned char>(s[i + k]);
        if (d < Lo || d > Hi) {
            return 0;
        }
        Lo = 0x80;
        Hi = 0xBF;
    }
    // U+FFFE and U+FFFF are no XML characters.
    if (c == 0xEF && s[i + 1] == '\xBF' && static_cast<unsigned char>(s[i + 2]) >= 0xBE) {
        return 0;
    }
    return n;
}

}  // namespace

std::string XmlText(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size();) {
        char c = Text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            std::size_t n = SequenceLength(Text, i);
            Out += n == 0 ? kReplacement : Text.substr(i, n);
            i += n == 0 ? 1 : n;
            continue;
        }
        switch (c) {
            case '&':
                Out += "&amp;";
                break;
            case '<':
                Out += "&lt;";
                break;
            case '>':
                Out += "&gt;";
                break;
            case '"':
                Out += "&quot;";
                break;
            default:
                // Control characters, line ends and tabs included: the text is
                // one line of a caption or a title.
                if (static_cast<unsigned char>(c) < 0x20) {
                    Out += kReplacement;
                } else {
                    Out += c;
                }
        }
        ++i;
    }
    return Out;
}

}  // namespace Svg
