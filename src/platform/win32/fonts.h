// Scalable faces for the windows' text, sized for the DPI they are shown at.
#pragma once

#include "platform/win32/win32.h"

#include <initializer_list>

#include "platform/win32/dpi.h"

namespace kv {

namespace detail {
inline int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}
} // namespace detail

inline bool FaceInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    if (HDC screen = ::GetDC(nullptr)) {
        ::EnumFontFamiliesExW(screen, &wanted, detail::NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
        ::ReleaseDC(nullptr, screen);
    }
    return found;
}

// The first of the faces the system has; "" lets the font mapper choose one
// of the family given to MakeFont.
inline const wchar_t* FirstInstalledFace(std::initializer_list<const wchar_t*> faces) {
    for (const wchar_t* face : faces) {
        if (FaceInstalled(face)) {
            return face;
        }
    }
    return L"";
}

// A TrueType face `hundredths` hundredths of a point tall at `dpi`.
inline HFONT MakeFont(const wchar_t* face, int hundredths, int weight, BYTE family, int dpi) {
    return ::CreateFontW(FontHeight(hundredths, dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH | family, face);
}

} // namespace kv
