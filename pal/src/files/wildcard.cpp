#include "wildcard.h"

#include "pal/runtime/encoding.h"

namespace pal::files {

// '?' always becomes DOS '?'; a '*' before a '.' becomes DOS '*' (it cannot swallow the last
// dot of a name); a '.' before '?', '*' or at the end becomes DOS '.' (a dot, or nothing at the
// end of the name).
Wildcard::Wildcard(std::u16string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        char16_t unit = pattern[i];
        char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
        if (unit == u'?')
            m_tokens.push_back({Kind::DosQuestion, unit});
        else if (unit == u'*')
            m_tokens.push_back({next == u'.' ? Kind::DosStar : Kind::Star, unit});
        else if (unit == u'.' && (next == u'?' || next == u'*' || next == u'\0'))
            m_tokens.push_back({Kind::DosDot, unit});
        else
            m_tokens.push_back({Kind::Literal, FoldCase(unit)});
    }
}

bool Wildcard::HasWildcards(std::u16string_view pattern) {
    return pattern.find_first_of(u"*?") != std::u16string_view::npos;
}

bool Wildcard::Matches(std::u16string_view name) const {
    size_t lastDot = name.rfind(u'.');
    std::vector<signed char> memo((m_tokens.size() + 1) * (name.size() + 1), -1);
    return Match(0, 0, name, lastDot, memo);
}

bool Wildcard::Match(size_t token, size_t at, std::u16string_view name, size_t lastDot,
                     std::vector<signed char>& memo) const {
    if (token == m_tokens.size()) return at == name.size();
    signed char& known = memo[token * (name.size() + 1) + at];
    if (known >= 0) return known;
    bool end = at == name.size();
    bool result = false;
    switch (m_tokens[token].kind) {
        case Kind::Literal:
            result = !end && FoldCase(name[at]) == m_tokens[token].unit &&
                     Match(token + 1, at + 1, name, lastDot, memo);
            break;
        case Kind::Star:
            result = Match(token + 1, at, name, lastDot, memo) ||
                     (!end && Match(token, at + 1, name, lastDot, memo));
            break;
        case Kind::DosStar:
            result = Match(token + 1, at, name, lastDot, memo) ||
                     (!end && at != lastDot && Match(token, at + 1, name, lastDot, memo));
            break;
        case Kind::DosQuestion:
            if (end || name[at] == u'.') {
                size_t next = token;
                while (next < m_tokens.size() && m_tokens[next].kind == Kind::DosQuestion) ++next;
                result = Match(next, at, name, lastDot, memo);
            } else {
                result = Match(token + 1, at + 1, name, lastDot, memo);
            }
            break;
        case Kind::DosDot:
            result = end ? Match(token + 1, at, name, lastDot, memo)
                         : name[at] == u'.' && Match(token + 1, at + 1, name, lastDot, memo);
            break;
    }
    known = result ? 1 : 0;
    return result;
}

}  // namespace pal::files
