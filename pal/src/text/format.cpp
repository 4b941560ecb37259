// The layer's printf-style formatter (pal::FormatA / pal::FormatW).
#include "pal/runtime/format.h"

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "ansi.h"

namespace pal {

namespace {

enum class Size { Default, Short, Long, LongLong };

struct Spec {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    Size size = Size::Default;
    bool narrowText = false;  // h: %hs / %hc
    bool wideText = false;    // l or w: %ls / %lc / %ws
};

template <class Ch>
class Formatter {
public:
    static constexpr bool kWide = std::is_same_v<Ch, char16_t>;

    std::basic_string<Ch> Run(const Ch* format, va_list args) {
        // A copy of our own, read through a pointer by the helpers, works on every ABI.
        va_copy(m_args, args);
        for (const Ch* p = format; *p; ++p) {
            if (*p != '%') {
                m_out.push_back(*p);
                continue;
            }
            Spec spec;
            p = ParseSpec(p + 1, spec);
            if (!*p) break;
            Convert(*p, spec);
        }
        va_end(m_args);
        return std::move(m_out);
    }

private:
    static const Ch* ParseDigits(const Ch* p, size_t& value) {
        value = 0;
        while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<size_t>(*p++ - '0');
        return p;
    }

    // Reads flags, width, precision and size; returns the position of the conversion character.
    static const Ch* ParseSpec(const Ch* p, Spec& spec) {
        for (;; ++p) {
            if (*p == '-')
                spec.left = true;
            else if (*p == '0')
                spec.zero = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else if (*p == '#')
                spec.alternate = true;
            else
                break;
        }
        p = ParseDigits(p, spec.width);
        if (*p == '.') {
            spec.hasPrecision = true;
            p = ParseDigits(p + 1, spec.precision);
        }
        if (*p == 'h') {
            spec.size = Size::Short;
            spec.narrowText = true;
            ++p;
        } else if (*p == 'l' && p[1] == 'l') {
            spec.size = Size::LongLong;
            p += 2;
        } else if (*p == 'l' || *p == 'w') {
            spec.size = Size::Long;
            spec.wideText = true;
            ++p;
        } else if (*p == 'I' && p[1] == '6' && p[2] == '4') {
            spec.size = Size::LongLong;
            p += 3;
        } else if (*p == 'I' && p[1] == '3' && p[2] == '2') {
            spec.size = Size::Long;
            p += 3;
        }
        return p;
    }

    void Convert(Ch c, const Spec& spec) {
        switch (c) {
            case '%':
                m_out.push_back('%');
                break;
            case 'd':
            case 'i':
                Signed(spec);
                break;
            case 'u':
                Unsigned(spec, 10, false);
                break;
            case 'x':
                Unsigned(spec, 16, false);
                break;
            case 'X':
                Unsigned(spec, 16, true);
                break;
            case 'c':
            case 'C':
                Character(spec, WantsWide(c == 'C', spec));
                break;
            case 's':
            case 'S':
                String(spec, WantsWide(c == 'S', spec));
                break;
            default:
                m_out.push_back(c);
                break;
        }
    }

    // Whether a %c / %s argument is WCHAR text: the formatter's own width for the lower-case
    // letter, the other for the upper-case one, unless h or l names it.
    static bool WantsWide(bool otherWidth, const Spec& spec) {
        if (spec.narrowText) return false;
        if (spec.wideText) return true;
        return otherWidth ? !kWide : kWide;
    }

    static std::basic_string<Ch> FromNarrow(std::string_view text) {
        if constexpr (kWide)
            return text::AnsiToWide(text);
        else
            return std::string(text);
    }
    static std::basic_string<Ch> FromWide(std::u16string_view text) {
        if constexpr (kWide)
            return std::u16string(text);
        else
            return text::WideToAnsi(text);
    }

    void Pad(size_t length, const Spec& spec, const std::basic_string<Ch>& body) {
        size_t fill = spec.width > length ? spec.width - length : 0;
        if (!spec.left) m_out.append(fill, ' ');
        m_out.append(body);
        if (spec.left) m_out.append(fill, ' ');
    }

    void Character(const Spec& spec, bool wide) {
        int value = va_arg(m_args, int);
        std::basic_string<Ch> text;
        if (wide)
            text = FromWide(std::u16string(1, static_cast<char16_t>(value)));
        else
            text = FromNarrow(std::string(1, static_cast<char>(value)));
        Pad(text.size(), spec, text);
    }

    template <class Arg>
    static size_t BoundedLength(const Arg* s, const Spec& spec) {
        size_t n = 0;
        while ((!spec.hasPrecision || n < spec.precision) && s[n]) ++n;
        return n;
    }

    void String(const Spec& spec, bool wide) {
        std::basic_string<Ch> text;
        if (wide) {
            const char16_t* s = va_arg(m_args, const char16_t*);
            text = s ? FromWide({s, BoundedLength(s, spec)}) : FromNarrow("(null)");
        } else {
            const char* s = va_arg(m_args, const char*);
            text = s ? FromNarrow({s, BoundedLength(s, spec)}) : FromNarrow("(null)");
        }
        if (!spec.hasPrecision || text.size() <= spec.precision)
            Pad(text.size(), spec, text);
        else
            Pad(spec.precision, spec, text.substr(0, spec.precision));
    }

    std::uint64_t ReadUnsigned(const Spec& spec) {
        switch (spec.size) {
            case Size::LongLong:
                return va_arg(m_args, unsigned long long);
            case Size::Short:
                return static_cast<unsigned short>(va_arg(m_args, unsigned));
            default:
                return va_arg(m_args, unsigned);
        }
    }

    void Signed(const Spec& spec) {
        std::int64_t value;
        switch (spec.size) {
            case Size::LongLong:
                value = va_arg(m_args, long long);
                break;
            case Size::Short:
                value = static_cast<short>(va_arg(m_args, int));
                break;
            default:
                value = va_arg(m_args, int);
                break;
        }
        std::uint64_t magnitude =
            value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
        std::string prefix = value < 0 ? "-" : spec.plus ? "+" : spec.space ? " " : "";
        Integer(spec, magnitude, 10, false, prefix);
    }

    void Unsigned(const Spec& spec, unsigned base, bool upper) {
        std::uint64_t value = ReadUnsigned(spec);
        std::string prefix = spec.alternate && base == 16 && value ? (upper ? "0X" : "0x") : "";
        Integer(spec, value, base, upper, prefix);
    }

    // Digits at least `precision` long (none for a zero with precision 0), after the sign or
    // radix prefix; zero padding to the width unless a precision or '-' is given.
    void Integer(const Spec& spec, std::uint64_t value, unsigned base, bool upper,
                 const std::string& prefix) {
        const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string digits;
        for (; value; value /= base) digits.insert(digits.begin(), digitSet[value % base]);
        size_t minimum = spec.hasPrecision ? spec.precision : 1;
        if (digits.size() < minimum) digits.insert(0, minimum - digits.size(), '0');
        if (spec.zero && !spec.left && !spec.hasPrecision &&
            prefix.size() + digits.size() < spec.width)
            digits.insert(0, spec.width - prefix.size() - digits.size(), '0');
        std::string text = prefix + digits;
        Pad(text.size(), spec, std::basic_string<Ch>(text.begin(), text.end()));
    }

    va_list m_args;
    std::basic_string<Ch> m_out;
};

}  // namespace

std::string VFormatA(const char* format, va_list args) {
    return Formatter<char>().Run(format, args);
}

std::string FormatA(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = VFormatA(format, args);
    va_end(args);
    return out;
}

std::u16string VFormatW(const char16_t* format, va_list args) {
    return Formatter<char16_t>().Run(format, args);
}

std::u16string FormatW(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out = VFormatW(format, args);
    va_end(args);
    return out;
}

}  // namespace pal
