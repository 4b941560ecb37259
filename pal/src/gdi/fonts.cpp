// Logical fonts: a record of the LOGFONT they were created from.
#include <algorithm>
#include <cstring>
#include <string>

#include "pal/gdi.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/gdi_objects.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

class Font : public GdiObject {
public:
    explicit Font(const LOGFONTW& font) : m_font(font) { m_font.lfFaceName[LF_FACESIZE - 1] = 0; }
    int Describe(int size, void* out) const override { return Copy(m_font, size, out); }
    int DescribeAnsi(int size, void* out) const override {
        LOGFONTA narrow{};
        std::memcpy(&narrow, &m_font, offsetof(LOGFONTA, lfFaceName));
        std::string face = Utf16ToCp1252(m_font.lfFaceName);
        face.copy(narrow.lfFaceName, LF_FACESIZE - 1);
        return Copy(narrow, size, out);
    }
    bool IsDeletable() const override { return true; }

private:
    template <class Logical>
    static int Copy(const Logical& font, int size, void* out) {
        if (!out) return sizeof(Logical);
        if (size < static_cast<int>(sizeof(Logical))) return 0;
        std::memcpy(out, &font, sizeof(Logical));
        return sizeof(Logical);
    }

    LOGFONTW m_font;
};

HFONT AddFont(const LOGFONTW& font) {
    return static_cast<HFONT>(
        CurrentProcess().Get<GdiObjectTable>().Add(std::make_shared<Font>(font)));
}

}  // namespace

}  // namespace pal

HFONT CreateFontIndirectA(const LOGFONTA* lplf) {
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LOGFONTW wide{};
    std::memcpy(&wide, lplf, offsetof(LOGFONTW, lfFaceName));
    std::string face(lplf->lfFaceName, strnlen(lplf->lfFaceName, LF_FACESIZE));
    pal::Cp1252ToUtf16(face).copy(wide.lfFaceName, LF_FACESIZE - 1);
    return pal::AddFont(wide);
}

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pal::AddFont(*lplf);
}
