#pragma once

#include "platform/SafeFile.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vl {

// A text that does not convert to the number or value asked for.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The settings file could not be read or written.
using IniIoError = FileIoError;

// The integer conversion the settings file was written for: optional blanks,
// an optional sign, then decimal digits or "$" with up to 8 hexadecimal digits
// (a 32-bit pattern, so "$FFFFFFFF" is -1). Decimal values must fit 32 bits.
std::optional<std::int32_t> parseInteger(std::string_view text);
std::optional<std::int32_t> parseInteger(QStringView text);
// As parseInteger, throwing ConvertError with the usual wording on failure.
std::int32_t strToInt(QStringView text);

// Eight upper-case hexadecimal digits of the 32-bit pattern.
std::string toHex8(std::int32_t value);

// Appends the UTF-8 form of text to out (unpaired surrogates become U+FFFD).
void appendUtf8(std::string &out, QStringView text);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);
// Decodes Windows-1252 bytes into UTF-8.
std::string windows1252ToUtf8(std::string_view bytes);
// The character of a Windows-1252 byte, and the byte of a character ('?'
// for characters the code page lacks).
char16_t windows1252Char(unsigned char byte);
unsigned char windows1252Byte(char16_t c);

// Case-insensitive equality of two UTF-8 texts: ASCII folded directly, any
// other text compared with Unicode case folding.
bool sameTextNoCaseSlow(std::string_view a, std::string_view b);
inline bool sameTextNoCase(std::string_view a, std::string_view b)
{
    // Most comparisons of a load or save are of names it wrote itself.
    if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    return sameTextNoCaseSlow(a, b);
}
// A hash that agrees with sameTextNoCase.
std::size_t hashNoCase(std::string_view text);

} // namespace vl
