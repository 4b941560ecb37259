// Fonts: logical fonts created from a LOGFONT and described back by GetObject (resources.h), and
// deleted by DeleteObject. A font is a record of its LOGFONT: nothing is ever rasterised.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

#define LF_FACESIZE 32

// Weights.
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2

// Windows field order; LOGFONTA is 60 bytes, LOGFONTW 92.
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
using PLOGFONTA = LOGFONTA*;
using LPLOGFONTA = LOGFONTA*;
using PLOGFONTW = LOGFONTW*;
using LPLOGFONTW = LOGFONTW*;

// A font of the calling process holding a copy of the LOGFONT (the face name cut to 31
// characters); GetObjectW gives the LOGFONTW back, GetObjectA the LOGFONTA (face name in code
// page 1252). NULL with ERROR_INVALID_PARAMETER without a LOGFONT.
HFONT CreateFontIndirectA(const LOGFONTA* lplf);
HFONT CreateFontIndirectW(const LOGFONTW* lplf);

#ifdef UNICODE
using LOGFONT = LOGFONTW;
using PLOGFONT = PLOGFONTW;
using LPLOGFONT = LPLOGFONTW;
#define CreateFontIndirect CreateFontIndirectW
#else
using LOGFONT = LOGFONTA;
using PLOGFONT = PLOGFONTA;
using LPLOGFONT = LPLOGFONTA;
#define CreateFontIndirect CreateFontIndirectA
#endif
