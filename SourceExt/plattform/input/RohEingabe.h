#pragma once
// The Windows raw-input, window-subclassing, process and cursor services as the input
// library calls them. Records use the x64 layout: a 24-byte header, then the device part.
// Behind them stands a backend: GLFW's event callbacks (fed inside glfwPollEvents) or the
// test backend.
#include <cstddef>
#include <cstdint>

#include "basis/WinTypen.h"

using HANDLE = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using HRAWINPUT = struct HRAWINPUT__*;
using FARPROC = void (*)();
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using PBOOL = BOOL*;
using PUINT = UINT*;
using WCHAR = char16_t;  // one UTF-16 code unit, as on Windows

constexpr UINT WM_INPUT = 0x00FF;
constexpr int GWLP_WNDPROC = -4;

constexpr DWORD RIM_TYPEMOUSE = 0;
constexpr DWORD RIM_TYPEKEYBOARD = 1;
constexpr DWORD RIM_TYPEHID = 2;

constexpr UINT RID_INPUT = 0x10000003;
constexpr UINT RIDI_DEVICENAME = 0x20000007;

constexpr USHORT MOUSE_MOVE_RELATIVE = 0;
constexpr USHORT MOUSE_MOVE_ABSOLUTE = 1;
constexpr USHORT RI_MOUSE_WHEEL = 0x0400;

constexpr USHORT RI_KEY_MAKE = 0;
constexpr USHORT RI_KEY_BREAK = 1;
constexpr USHORT RI_KEY_E0 = 2;
constexpr USHORT RI_KEY_E1 = 4;

struct RAWINPUTHEADER {
  DWORD dwType;
  DWORD dwSize;
  HANDLE hDevice;
  WPARAM wParam;
};

struct RAWMOUSE {
  USHORT usFlags;
  union {
    ULONG ulButtons;
    struct {
      USHORT usButtonFlags;
      USHORT usButtonData;
    };
  };
  ULONG ulRawButtons;
  LONG lLastX;
  LONG lLastY;
  ULONG ulExtraInformation;
};

struct RAWKEYBOARD {
  USHORT MakeCode;
  USHORT Flags;
  USHORT Reserved;
  USHORT VKey;
  UINT Message;
  ULONG ExtraInformation;
};

struct RAWINPUT {
  RAWINPUTHEADER header;
  union {
    RAWMOUSE mouse;
    RAWKEYBOARD keyboard;
  } data;
};

static_assert(sizeof(RAWINPUTHEADER) == 24 && sizeof(RAWMOUSE) == 24 && sizeof(RAWKEYBOARD) == 16);
static_assert(offsetof(RAWMOUSE, usButtonFlags) == 4 && offsetof(RAWMOUSE, lLastX) == 12);

struct RAWINPUTDEVICELIST {
  HANDLE hDevice;
  DWORD dwType;
};

struct RAWINPUTDEVICE {
  USHORT usUsagePage;
  USHORT usUsage;
  DWORD dwFlags;
  HWND hwndTarget;
};

BOOL IsWindow(HWND window);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
HANDLE GetCurrentProcess();
BOOL IsWow64Process(HANDLE process, PBOOL wow64);

// GWLP_WNDPROC only: installs the procedure and returns the previous one.
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM w, LPARAM l);

UINT GetRawInputDeviceList(RAWINPUTDEVICELIST* list, PUINT count, UINT entrySize);
UINT GetRawInputDeviceInfoA(HANDLE device, UINT command, LPVOID data, PUINT size);
BOOL RegisterRawInputDevices(const RAWINPUTDEVICE* devices, UINT count, UINT entrySize);
UINT GetRawInputData(HRAWINPUT input, UINT command, LPVOID data, PUINT size, UINT headerSize);
UINT GetRawInputBuffer(RAWINPUT* data, PUINT size, UINT headerSize);

BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
