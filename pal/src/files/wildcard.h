// File-name patterns as FindFirstFile reads them: '*' and '?' with the DOS refinements the
// system's listings rely on ("*.*" and "*" match every name, "*.bak" only names whose last
// extension is ".bak", a run of '?' also matches fewer characters before a '.' or the end),
// compared without regard to case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pal::files {

class Wildcard {
public:
    explicit Wildcard(std::u16string_view pattern);
    bool Matches(std::u16string_view name) const;
    static bool HasWildcards(std::u16string_view pattern);

private:
    enum class Kind { Literal, Star, DosStar, DosQuestion, DosDot };
    struct Token {
        Kind kind;
        char16_t unit;
    };
    bool Match(size_t token, size_t at, std::u16string_view name, size_t lastDot,
               std::vector<signed char>& memo) const;

    std::vector<Token> m_tokens;
};

}  // namespace pal::files
