// The subset of the Win32 platform and GDI that a cockpit display module uses,
// declared for hosts that are not Windows. On Windows the module includes
// <windows.h> instead (see host_sdk.h) and none of this is compiled.
//
// The shapes follow the Win32 headers: handles are pointers to distinct
// incomplete types, HGDIOBJ is a plain pointer that every pen converts to, and
// COLORREF is 0x00BBGGRR.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#error "host/gdi.h is for non-Windows hosts; include <windows.h> instead"
#endif

#if defined(LOBARC_HOST_BUILD)
#define HOSTAPI __attribute__((visibility("default")))
#else
#define HOSTAPI
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;  // 32 bits, as on Windows (not unsigned long)
typedef unsigned int UINT;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef DWORD COLORREF;

typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HDC__* HDC;
typedef struct HPEN__* HPEN;
typedef struct HBRUSH__* HBRUSH;
typedef void* HGDIOBJ;
typedef void (*FARPROC)();

typedef struct tagPOINT {
  long x;
  long y;
} POINT, *LPPOINT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define WINAPI

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

#define MAKELONG(a, b) \
  ((DWORD)(((WORD)((DWORD)(a) & 0xffff)) | ((DWORD)((WORD)((DWORD)(b) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)((DWORD)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((DWORD)(l) >> 16) & 0xffff))

// Pen styles.
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

// Stock objects (GetStockObject) and background modes (SetBkMode).
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define TRANSPARENT 1
#define OPAQUE 2

// Text alignment flags (SetTextAlign). TA_CENTER | TA_TOP is 6.
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define GDI_ERROR 0xFFFFFFFFu
#define CLR_INVALID 0xFFFFFFFFu

extern "C" {
HOSTAPI HPEN CreatePen(int style, int width, COLORREF color);
HOSTAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
HOSTAPI BOOL DeleteObject(HGDIOBJ obj);
HOSTAPI BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous);
HOSTAPI BOOL LineTo(HDC hdc, int x, int y);
HOSTAPI BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
HOSTAPI BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length);
HOSTAPI COLORREF SetTextColor(HDC hdc, COLORREF color);
HOSTAPI COLORREF GetTextColor(HDC hdc);
HOSTAPI UINT SetTextAlign(HDC hdc, UINT align);
HOSTAPI UINT GetTextAlign(HDC hdc);
HOSTAPI HGDIOBJ GetStockObject(int index);
HOSTAPI HBRUSH CreateSolidBrush(COLORREF color);
HOSTAPI BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
HOSTAPI int SetBkMode(HDC hdc, int mode);
HOSTAPI int GetBkMode(HDC hdc);
// Looks up a function that a loaded module exports, by its plain name.
HOSTAPI FARPROC GetProcAddress(HMODULE module, LPCSTR name);
}
