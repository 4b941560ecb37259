// PathAppendW / PathAppendA: joining a path and a more-path inside a MAX_PATH buffer.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "pal/text.h"

namespace {

template <class Ch>
bool IsQualified(std::basic_string_view<Ch> path) {
    return (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') ||
           (path.size() >= 2 && path[1] == ':');
}

// The root of a path ("\\", "X:\", "X:", "\" or nothing) and its length.
template <class Ch>
size_t RootLength(std::basic_string_view<Ch> path) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return 2;
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    return !path.empty() && path[0] == '\\' ? 1 : 0;
}

// Folds "." and ".." segments. A ".." never climbs above the root; dot segments at the start of
// a relative path are stripped, leaving the backslash that followed them.
template <class Ch>
std::basic_string<Ch> Canonicalize(std::basic_string_view<Ch> path) {
    size_t rootLength = RootLength(path);
    std::basic_string<Ch> root(path.substr(0, rootLength));
    std::vector<std::basic_string_view<Ch>> segments;
    bool strippedLeadingDots = false;
    size_t start = rootLength;
    while (start <= path.size()) {
        size_t end = path.find(Ch('\\'), start);
        if (end == std::basic_string_view<Ch>::npos) end = path.size();
        auto segment = path.substr(start, end - start);
        bool dot = segment.size() == 1 && segment[0] == '.';
        bool dotDot = segment.size() == 2 && segment[0] == '.' && segment[1] == '.';
        if (dotDot && !segments.empty()) {
            segments.pop_back();
        } else if (dot || dotDot) {
            strippedLeadingDots |= segments.empty() && end < path.size();
        } else if (!segment.empty() || end == path.size()) {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    if (root.empty() && strippedLeadingDots) root.push_back('\\');
    std::basic_string<Ch> out = root;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) out.push_back('\\');
        out.append(segments[i]);
    }
    return out;
}

template <class Ch>
BOOL Append(Ch* path, const Ch* more) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::basic_string_view<Ch> base(path);
    std::basic_string_view<Ch> tail =
        more ? std::basic_string_view<Ch>(more) : std::basic_string_view<Ch>();
    std::basic_string<Ch> joined;
    if (IsQualified(tail)) {
        joined = tail;
    } else {
        while (!tail.empty() && tail[0] == '\\') tail.remove_prefix(1);
        joined = base;
        if (!joined.empty() && joined.back() != '\\' && !tail.empty()) joined.push_back('\\');
        joined.append(tail);
    }
    std::basic_string<Ch> result = Canonicalize(std::basic_string_view<Ch>(joined));
    if (result.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    std::copy(result.begin(), result.end(), path);
    path[result.size()] = 0;
    return TRUE;
}

}  // namespace

BOOL PathAppendW(LPWSTR pszPath, LPCWSTR pszMore) { return Append(pszPath, pszMore); }

BOOL PathAppendA(LPSTR pszPath, LPCSTR pszMore) { return Append(pszPath, pszMore); }
