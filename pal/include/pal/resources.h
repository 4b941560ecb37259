// Resources: embedded resource data, strings, icons, cursors, bitmaps, image lists.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

#define ERROR_INVALID_CURSOR_HANDLE 1402L

// Resource names and types: a 16-bit ordinal travels in the low word of a null-high pointer.
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#ifdef UNICODE
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#else
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)

// Image kinds and load flags of LoadImage.
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x00000000
#define LR_MONOCHROME 0x00000001
#define LR_LOADFROMFILE 0x00000010
#define LR_LOADTRANSPARENT 0x00000020
#define LR_DEFAULTSIZE 0x00000040
#define LR_VGACOLOR 0x00000080
#define LR_LOADMAP3DCOLORS 0x00001000
#define LR_CREATEDIBSECTION 0x00002000
#define LR_SHARED 0x00008000

// Image-list mask colours.
#define CLR_NONE 0xFFFFFFFFu
#define CLR_DEFAULT 0xFF000000u

// The pixel layout GetObject reports for a bitmap; bmBits is null (device-dependent bitmap).
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
using PBITMAP = BITMAP*;
using LPBITMAP = BITMAP*;

// Finds a resource of a module (null: the process's executable) by name and type, each an
// ordinal (MAKEINTRESOURCE), a name compared without case, or "#123" for ordinal 123. When
// several languages carry it, the machine's language wins, then its primary language, then
// neutral, then US English, then the first.
// Fails with ERROR_RESOURCE_DATA_NOT_FOUND for a module without resources,
// ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND, or ERROR_INVALID_HANDLE.
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
// The resource's data: a pointer into the module's read-only image, valid while it is loaded.
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
// The data pointer of a loaded resource (LoadResource's result itself).
LPVOID LockResource(HGLOBAL hResData);
// The resource's size in bytes; 0 with ERROR_INVALID_HANDLE for an unknown resource handle.
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);

// Copies string resource uID (converted to the ANSI code page) into the buffer, at most
// cchBufferMax - 1 bytes plus a terminator, and returns the bytes copied; 0 (with an empty
// buffer) when the string is missing or empty.
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
// As LoadStringA in UTF-16. With a null buffer it returns a pointer (cast it to LPCWSTR) to the
// read-only text, whose length is in the WORD before it; that text is zero-terminated. With a
// buffer and cchBufferMax 0 it stores that pointer in *lpBuffer and returns the length. The
// result is pointer-sized so that it can carry the pointer.
INT_PTR LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

// The module's icon group lpIconName in the image nearest 32x32 pixels. The icon is shared:
// loading it again gives the same handle, and DestroyIcon leaves it in place. The system's
// predefined icons (a null instance) are not provided: ERROR_RESOURCE_NAME_NOT_FOUND.
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
// Loads a bitmap, icon or cursor resource. Icons and cursors take the group's entry nearest
// cx x cy (0: 32x32 with LR_DEFAULTSIZE or without), preferring the deeper colour on a tie;
// a bitmap is resampled to cx x cy when they are given. LR_SHARED makes the handle shared as
// LoadIcon's. LR_LOADFROMFILE is not supported (ERROR_NOT_SUPPORTED).
HANDLE LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad);
HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
// Icons of a module or .ico file given by Windows path: the icon group at nIconIndex (a
// negative index: the group with resource id -nIconIndex) and the nIcons that follow, each as
// a 32x32 image into phiconLarge and a 16x16 image into phiconSmall (either may be null).
// Returns the number of icons extracted; with nIconIndex -1 and both arrays null, the number of
// icon groups in the file. 0 when the file is missing or holds no such icon. A module file is
// loaded into the host for the time it takes to copy its resources.
UINT ExtractIconExA(LPCSTR lpszFile, int nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                    UINT nIcons);
UINT ExtractIconExW(LPCWSTR lpszFile, int nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                    UINT nIcons);
// Destroys an icon or cursor that is not shared; FALSE with ERROR_INVALID_CURSOR_HANDLE for an
// unknown handle.
BOOL DestroyIcon(HICON hIcon);

// Describes a GDI object into the buffer (a bitmap: BITMAP; a font: LOGFONTA or LOGFONTW by the
// form) and returns the bytes written, or the size needed when lpvObject is null; 0 for an
// unknown handle or a too small buffer.
int GetObjectA(HGDIOBJ h, int c, LPVOID pv);
int GetObjectW(HGDIOBJ h, int c, LPVOID pv);
// Deletes a GDI object; FALSE with ERROR_INVALID_HANDLE for an unknown handle.
BOOL DeleteObject(HGDIOBJ ho);

// An image list cut from a bitmap resource (IMAGE_BITMAP only) into images cx pixels wide, as
// many as the bitmap's width holds, all as high as the bitmap. crMask CLR_DEFAULT takes the
// mask colour from the top-left pixel, CLR_NONE makes no mask. Null with the last error of the
// failed bitmap load, or ERROR_INVALID_PARAMETER for cx <= 0 or another image type.
HIMAGELIST ImageList_LoadImageA(HINSTANCE hi, LPCSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                UINT uType, UINT uFlags);
HIMAGELIST ImageList_LoadImageW(HINSTANCE hi, LPCWSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                UINT uType, UINT uFlags);
#define ImageList_LoadBitmapA(hi, lpbmp, cx, cGrow, crMask) \
    ImageList_LoadImageA(hi, lpbmp, cx, cGrow, crMask, IMAGE_BITMAP, 0)
#define ImageList_LoadBitmapW(hi, lpbmp, cx, cGrow, crMask) \
    ImageList_LoadImageW(hi, lpbmp, cx, cGrow, crMask, IMAGE_BITMAP, 0)
// The number of images in the list; 0 for an unknown handle.
int ImageList_GetImageCount(HIMAGELIST himl);
// Destroys an image list; FALSE for an unknown handle.
BOOL ImageList_Destroy(HIMAGELIST himl);

#ifdef UNICODE
#define FindResource FindResourceW
#define LoadString LoadStringW
#define LoadIcon LoadIconW
#define LoadImage LoadImageW
#define ExtractIconEx ExtractIconExW
#define GetObject GetObjectW
#define ImageList_LoadImage ImageList_LoadImageW
#define ImageList_LoadBitmap ImageList_LoadBitmapW
#else
#define FindResource FindResourceA
#define LoadString LoadStringA
#define LoadIcon LoadIconA
#define LoadImage LoadImageA
#define ExtractIconEx ExtractIconExA
#define GetObject GetObjectA
#define ImageList_LoadImage ImageList_LoadImageA
#define ImageList_LoadBitmap ImageList_LoadBitmapA
#endif
