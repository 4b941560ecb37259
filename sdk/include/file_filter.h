// File-conversion filters of the synchronization engine: a filter (ICeFileFilter) converts one
// file between its desktop and device forms, reading and writing through the site its caller
// gives it (ICeFileFilterSite).
//
// Registration (desktop registry):
// - under a partnership key, "Filters" may hold "EnableConversion" (REG_DWORD; 0 turns every
//   conversion off), and "Filters\.ext" (the extension with its dot) the filter of each direction:
//   "DefaultImport" (towards the device) and "DefaultExport" (towards the desktop), each a class
//   identifier in registry text form or "Binary Copy" for none;
// - a filter class has HKEY_CLASSES_ROOT "CLSID\{…}\PegasusFilter" with "NewExtension", the
//   extension of the files it makes, without its dot.
//
// Desktop filters are ANSI: TCHAR is CHAR in every module that implements or drives them, and the
// field sizes below are the published ones.
#pragma once

#include <windows.h>

#include <cstdarg>

#define CFF_MAX_FNAME 256  // file-name field, terminator included
#define CFF_MAX_EXT 256    // extension field (with its dot), terminator included

// Site open modes (nHowToOpenFile).
#define CFF_OPEN_STREAM 0   // a flat file as an IStream
#define CFF_OPEN_STORAGE 1  // a compound file as an IStorage

// A filter's extra error word, filled alongside a failing result.
using PF_ERROR = LONG;

DEFINE_GUID(IID_ICeFileFilter, 0x6C5C05E1, 0x97A2, 0x11CF, 0x80, 0x11, 0x00, 0xA0, 0xC9, 0x0A, 0x8F,
            0x78);
DEFINE_GUID(IID_ICeFileFilterSite, 0x6C5C05E0, 0x97A2, 0x11CF, 0x80, 0x11, 0x00, 0xA0, 0xC9, 0x0A,
            0x8F, 0x78);

struct ICeFileFilterSite;

// The file to convert.
struct CFF_SOURCEFILE {
    TCHAR szFullpath[MAX_PATH];
    TCHAR szPath[MAX_PATH];           // drive and folder, without a trailing "\"
    TCHAR szFilename[CFF_MAX_FNAME];  // name without extension
    TCHAR szExtension[CFF_MAX_EXT];   // extension with its dot
    DWORD cbSize;
    FILETIME ftCreated;
    FILETIME ftModified;
};

// Where the converted file goes.
struct CFF_DESTINATIONFILE {
    TCHAR szFullpath[MAX_PATH];
    TCHAR szPath[MAX_PATH];           // folder, without a trailing "\"
    TCHAR szFilename[CFF_MAX_FNAME];  // name without extension
    TCHAR szExtension[CFF_MAX_EXT];   // the new extension
};

// The conversion as a whole.
struct CFF_CONVERTINFO {
    BOOL bImport;  // TRUE towards the device
    HWND hwndParent;
    BOOL bYesToAll;
    ICeFileFilterSite* pffs;
};

// Implemented by the caller of a filter: opens and closes the files of one conversion.
struct ICeFileFilterSite : public IUnknown {
    // The source as an IStream (CFF_OPEN_STREAM) or IStorage (CFF_OPEN_STORAGE), one reference.
    STDMETHOD(OpenSourceFile)(int nHowToOpenFile, LPVOID* ppObj) PURE;
    // A new destination at pszFullpath, or at the conversion's destination path when null.
    STDMETHOD(OpenDestinationFile)(int nHowToOpenFile, LPCTSTR pszFullpath, LPVOID* ppObj) PURE;
    STDMETHOD(CloseSourceFile)(LPUNKNOWN pObj) PURE;
    // Closes a destination; bKeepFile FALSE deletes the file.
    STDMETHOD(CloseDestinationFile)(BOOL bKeepFile, LPUNKNOWN pObj) PURE;
    STDMETHOD(ReportProgress)(UINT nPercent) PURE;
    STDMETHOD(ReportLoss)(DWORD dw, LPCTSTR psz, va_list args) PURE;
};

// Implemented by a filter class.
struct ICeFileFilter : public IUnknown {
    // Makes output nConversion (0, 1, …): S_OK when it made one; a result whose low word is
    // ERROR_NO_MORE_ITEMS (or E_FAIL with *perr ERROR_NO_MORE_ITEMS) when there are no more; any
    // other result is a failure.
    STDMETHOD(NextConvertFile)
    (int nConversion, CFF_CONVERTINFO* pci, CFF_SOURCEFILE* psf, CFF_DESTINATIONFILE* pdf,
     volatile BOOL* pbCancel, PF_ERROR* perr) PURE;
    STDMETHOD(FilterOptions)(HWND hwndParent) PURE;
    STDMETHOD(FormatMessage)
    (DWORD dwFlags, DWORD dwMessageId, DWORD dwLanguageId, LPTSTR lpBuffer, DWORD nSize,
     va_list* Arguments, DWORD* pcb) PURE;
};
