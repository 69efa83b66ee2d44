#include "WinInput.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>
#include <stdexcept>

#include "Steuergeraete.h"
#include "Tastatur.h"
#include "WinJoystick.h"
#include "WinKeyboard.h"
#include "WinMouse.h"

namespace {

constexpr UINT kHeader = sizeof(RAWINPUTHEADER);
constexpr UINT kError = static_cast<UINT>(-1);

using IsWow64Function = BOOL (*)(HANDLE, PBOOL);

WinInput* Instance() { return static_cast<WinInput*>(DRENO::GetInstance()); }

}  // namespace

WinInput::Subclass::~Subclass() {
  if (window != nullptr) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}

WinInput::WinInput(HWND window) : window_(window) {
  if (!IsWindow(window)) throw std::runtime_error("HWND is not valid");
  if (HMODULE kernel = GetModuleHandleA("kernel32")) {
    if (auto query = reinterpret_cast<IsWow64Function>(GetProcAddress(kernel, "IsWow64Process"))) {
      BOOL answer = FALSE;
      if (query(GetCurrentProcess(), &answer)) wow64_ = answer != FALSE;
    }
  }
  subclass_.previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WndProcHook)));
  subclass_.window = window;

  // From here on a failure leaves through the members' destructors: the COM objects are
  // released and the procedure is put back; the base frees the devices.
  LPVOID directInput = nullptr;
  if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                &directInput, nullptr))) {
    throw std::runtime_error("Unable to init DirectX8 Input");
  }
  directInput_.reset(static_cast<IDirectInput8A*>(directInput));
  IDirectInputDevice8A* keyboard = nullptr;
  if (FAILED(directInput_->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr))) {
    throw std::runtime_error("Could not init default keyboard");
  }
  systemKeyboard_.reset(keyboard);
  if (FAILED(systemKeyboard_->SetDataFormat(&c_dfDIKeyboard))) throw std::runtime_error("Keyboard format error");
  EnumerateDevices();
  MapXInputDevices();
  RegisterRawInput();
}

WinInput::~WinInput() {
  DestroyDevices();
  miceByHandle_.clear();
  keyboardsByHandle_.clear();
  systemKeyboard_.reset();
  directInput_.reset();
  // subclass_ puts the previous procedure back as it goes.
}

BOOL WinInput::EnumDevicesCallback(const DIDEVICEINSTANCEA* instance, LPVOID self) {
  auto* input = static_cast<WinInput*>(self);
  const DWORD type = instance->dwDevType & 0xFF;
  if (type < DI8DEVTYPE_JOYSTICK || type > DI8DEVTYPE_1STPERSON) return DIENUM_CONTINUE;
  try {
    input->AddDevice(std::make_unique<WinJoystick>(input, input->devices_.size(), input->directInput_.get(),
                                                   instance->guidInstance, instance->guidProduct));
  } catch (const std::exception&) {
    // A controller that cannot be opened is left out.
  }
  return DIENUM_CONTINUE;
}

namespace {
// Releases a COM object or string at the end of the query, whichever way it ends.
struct Freigabe {
  IUnknown* objekt = nullptr;
  ~Freigabe() {
    if (objekt != nullptr) objekt->Release();
  }
};
struct Zeichenkette {
  BSTR text;
  ~Zeichenkette() { SysFreeString(text); }
};
std::u16string Breit(const char* text) { return std::u16string(text, text + std::strlen(text)); }

// "VID_%4X" and "PID_%4X" at the first such part of a device id; 0 when missing.
unsigned LiesKennung(const std::string& id, const char* marke) {
  const auto stelle = id.find(marke);
  unsigned wert = 0;
  if (stelle == std::string::npos || std::sscanf(id.c_str() + stelle + 4, "%4X", &wert) != 1) return 0;
  return wert;
}
}  // namespace

void WinInput::MapXInputDevices() {
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  [&] {
    LPVOID roh = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, &roh))) return;
    Freigabe lokator{static_cast<IWbemLocator*>(roh)};
    const Zeichenkette raum{SysAllocString(Breit("\\\\.\\root\\cimv2").c_str())};
    const Zeichenkette klasse{SysAllocString(Breit("Win32_PNPEntity").c_str())};
    const Zeichenkette feld{SysAllocString(Breit("DeviceID").c_str())};
    IWbemServices* dienste = nullptr;
    if (FAILED(static_cast<IWbemLocator*>(lokator.objekt)
                   ->ConnectServer(raum.text, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &dienste)))
      return;
    Freigabe dienstFreigabe{dienste};
    if (FAILED(CoSetProxyBlanket(dienste, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
      return;
    IEnumWbemClassObject* liste = nullptr;
    if (FAILED(dienste->CreateInstanceEnum(klasse.text, 0, nullptr, &liste))) return;
    Freigabe listenFreigabe{liste};
    std::uint64_t naechsterSlot = 0;
    for (;;) {
      IWbemClassObject* objekte[20] = {};
      ULONG geliefert = 0;
      if (FAILED(liste->Next(5000, 20, objekte, &geliefert)) || geliefert == 0) break;
      for (ULONG i = 0; i < geliefert; ++i) {
        Freigabe objekt{objekte[i]};
        VARIANT wert;
        VariantInit(&wert);
        if (SUCCEEDED(objekte[i]->Get(feld.text, 0, &wert, nullptr, nullptr)) && wert.vt == VT_BSTR &&
            wert.bstrVal != nullptr) {
          const std::u16string breit(wert.bstrVal);
          const std::string id(breit.begin(), breit.end());
          if (id.find("IG_") != std::string::npos) {
            const DWORD schluessel = (LiesKennung(id, "PID_") & 0xFFFF) << 16 | (LiesKennung(id, "VID_") & 0xFFFF);
            for (auto& device : devices_) {
              auto* joystick = dynamic_cast<WinJoystick*>(device.get());
              if (joystick != nullptr && joystick->xinputSlot == WinJoystick::kKeinSlot &&
                  joystick->produktGuid.Data1 == schluessel) {
                joystick->SetXInputIndex(naechsterSlot++);
                break;
              }
            }
          }
        }
        VariantClear(&wert);
      }
    }
  }();
  if (com) CoUninitialize();
}

void WinInput::EnumerateDevices() {
  directInput_->EnumDevices(DI8DEVCLASS_ALL, &EnumDevicesCallback, this, DIEDFL_ATTACHEDONLY);

  UINT count = 0;
  if (GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) == kError) {
    throw std::runtime_error("unable to get device count");
  }
  std::vector<RAWINPUTDEVICELIST> list(count);
  if (count > 0 && GetRawInputDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST)) == kError) {
    throw std::runtime_error("unable to retrieve device list");
  }
  list.resize(count);

  for (const RAWINPUTDEVICELIST& entry : list) {
    char name[257] = {};
    UINT size = 256;
    if (GetRawInputDeviceInfoA(entry.hDevice, RIDI_DEVICENAME, name, &size) == kError) name[0] = 0;
    if (entry.dwType != RIM_TYPEMOUSE && entry.dwType != RIM_TYPEKEYBOARD) continue;
    // Remote-desktop pseudo devices.
    if (std::strstr(name, "RDP_") != nullptr) continue;
    try {
      if (entry.dwType == RIM_TYPEMOUSE) {
        auto mouse = std::make_unique<WinMouse>(this, devices_.size(), entry.hDevice);
        miceByHandle_[entry.hDevice] = mouse.get();
        AddDevice(std::move(mouse));
      } else {
        auto keyboard = std::make_unique<WinKeyboard>(this, devices_.size(), entry.hDevice, systemKeyboard_.get());
        keyboardsByHandle_[entry.hDevice] = keyboard.get();
        AddDevice(std::move(keyboard));
      }
    } catch (const std::exception&) {
      // A device that cannot be built is left out; the others still work.
    }
  }
}

void WinInput::RegisterRawInput() {
  const RAWINPUTDEVICE entries[] = {{1, 6, 0, nullptr}, {1, 7, 0, nullptr}, {1, 2, 0, nullptr}};
  if (!RegisterRawInputDevices(entries, 3, sizeof(RAWINPUTDEVICE))) {
    throw std::runtime_error("failed to register for input messages");
  }
}

LRESULT WinInput::WndProcHook(HWND window, UINT message, WPARAM w, LPARAM l) {
  WinInput* self = Instance();
  if (self == nullptr) return 0;
  if (message != WM_INPUT) return CallWindowProcW(self->subclass_.previous, window, message, w, l);
  alignas(8) BYTE record[256];
  UINT size = sizeof record;
  const UINT read = GetRawInputData(reinterpret_cast<HRAWINPUT>(l), RID_INPUT, record, &size, kHeader);
  if (read == kError || read == 0) return 0;
  // Records that come as messages have their device part right after the header.
  self->HandleRecord(record, read, false);
  return 0;
}

void WinInput::HandleRecord(const BYTE* record, UINT size, bool wow64) {
  if (size < kHeader) return;
  RAWINPUTHEADER header;
  std::memcpy(&header, record, kHeader);
  const UINT part = kHeader + (wow64 ? 8 : 0);
  if (header.dwType == RIM_TYPEMOUSE && size >= part + sizeof(RAWMOUSE)) {
    const auto found = miceByHandle_.find(header.hDevice);
    if (found == miceByHandle_.end()) return;
    RAWMOUSE mouse;
    std::memcpy(&mouse, record + part, sizeof mouse);
    found->second->HandleRawInput(mouse);
  } else if (header.dwType == RIM_TYPEKEYBOARD && size >= part + sizeof(RAWKEYBOARD)) {
    const auto found = keyboardsByHandle_.find(header.hDevice);
    if (found == keyboardsByHandle_.end()) return;
    RAWKEYBOARD keyboard;
    std::memcpy(&keyboard, record + part, sizeof keyboard);
    found->second->HandleRawInput(keyboard);
  }
}

void WinInput::Update() {
  InputSystem::Update();
  StartDeviceFrames();
  DrainRawInput();
  UpdateMice();
  EndFirstFrame();
}

void WinInput::StartDeviceFrames() {
  for (auto& device : devices_) {
    if (auto* mouse = dynamic_cast<WinMouse*>(device.get())) {
      mouse->StartFrame();
    } else if (auto* keyboard = dynamic_cast<WinKeyboard*>(device.get())) {
      keyboard->StartFrame();
    } else if (auto* joystick = dynamic_cast<WinJoystick*>(device.get())) {
      joystick->Update();
    }
  }
}

void WinInput::DrainRawInput() {
  alignas(16) BYTE buffer[784];
  for (;;) {
    UINT size = sizeof buffer;
    const UINT count = GetRawInputBuffer(reinterpret_cast<RAWINPUT*>(buffer), &size, kHeader);
    if (count == 0 || count == kError) return;
    std::size_t offset = 0;
    for (UINT i = 0; i < count; ++i) {
      // The sizes come from the records themselves: one that does not fit the bytes
      // returned ends the walk instead of reading past them.
      if (offset + kHeader > sizeof buffer) break;
      RAWINPUTHEADER header;
      std::memcpy(&header, buffer + offset, kHeader);
      if (header.dwSize < kHeader || header.dwSize > sizeof buffer - offset) break;
      HandleRecord(buffer + offset, header.dwSize, wow64_);
      offset = (offset + header.dwSize + 7) & ~std::size_t{7};
    }
  }
}

bool WinInput::ClientCursor(POINT& point) const {
  return GetCursorPos(&point) && ScreenToClient(window_, &point);
}

// The centre of the client area: the grab works in client coordinates.
POINT WinInput::ClientCentre() const {
  RECT client{};
  GetClientRect(window_, &client);
  return {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
}

void WinInput::UpdateMice() {
  for (auto& device : devices_) {
    auto* mouse = dynamic_cast<WinMouse*>(device.get());
    if (mouse == nullptr) continue;
    mouse->draining = false;
    mouse->pendingX = mouse->pendingY = 0;
    POINT cursor;
    if (!separateDevices_ && hasFocus_ && mouse->index == 0 && ClientCursor(cursor) && cursor.x >= 0 &&
        cursor.x < 20000 && cursor.y >= 0 && cursor.y < 20000) {
      if (grabbed_) {
        POINT centre = ClientCentre();
        mouse->changeX = static_cast<float>(cursor.x - centre.x);
        mouse->changeY = static_cast<float>(cursor.y - centre.y);
        mouse->x += mouse->changeX;
        mouse->y += mouse->changeY;
        if (ClientToScreen(window_, &centre)) SetCursorPos(centre.x, centre.y);
      } else {
        mouse->changeX = static_cast<float>(cursor.x) - mouse->x;
        mouse->changeY = static_cast<float>(cursor.y) - mouse->y;
        mouse->x = static_cast<float>(cursor.x);
        mouse->y = static_cast<float>(cursor.y);
      }
    }
    if (mouse->changeX != 0 || mouse->changeY != 0) {
      SendMouseMove(mouse, mouse->x, mouse->y, mouse->changeX, mouse->changeY);
    }
  }
}

void WinInput::ResetDevices(bool focus) {
  for (auto& device : devices_) {
    if (auto* keyboard = dynamic_cast<WinKeyboard*>(device.get())) {
      keyboard->ReleaseAllKeys(focus);
    } else if (auto* mouse = dynamic_cast<WinMouse*>(device.get())) {
      if (!focus) {
        mouse->ReleaseAllButtons();
      } else if (!separateDevices_) {
        POINT cursor;
        if (!ClientCursor(cursor)) continue;
        const float dx = static_cast<float>(cursor.x) - mouse->x;
        const float dy = static_cast<float>(cursor.y) - mouse->y;
        mouse->x = static_cast<float>(cursor.x);
        mouse->y = static_cast<float>(cursor.y);
        if (!mouse->firstFrame && (dx != 0 || dy != 0)) SendMouseMove(mouse, mouse->x, mouse->y, dx, dy);
      }
    } else if (auto* joystick = dynamic_cast<WinJoystick*>(device.get())) {
      joystick->ResetOnFocus(focus);
    }
  }
}

void WinInput::PlaceCursor(bool centre) {
  POINT target{0, 0};
  if (centre) {
    target = ClientCentre();
  } else if (auto* mouse = dynamic_cast<WinMouse*>(firstMouse_)) {
    RECT client{};
    GetClientRect(window_, &client);
    const LONG x = static_cast<LONG>(mouse->x), y = static_cast<LONG>(mouse->y);
    target = {std::clamp<LONG>(x, 0, client.right - client.left), std::clamp<LONG>(y, 0, client.bottom - client.top)};
  }
  if (ClientToScreen(window_, &target)) SetCursorPos(target.x, target.y);
}
