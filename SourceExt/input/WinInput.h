#pragma once
// The input system of the program's window. It subclasses the window to receive raw input
// as WM_INPUT messages, finds the mice and keyboards in the raw-input device list, and
// each frame drains the buffered records and follows the cursor.
#include <map>
#include <memory>

#include "DirectInput.h"
#include "InputSystem.h"
#include "RohEingabe.h"

class WinMouse;
class WinKeyboard;

class WinInput : public DRENO::InputSystem {
 public:
  // Throws std::runtime_error with the failing step's message; whatever was built by then
  // is released and the window procedure is put back.
  explicit WinInput(HWND window);
  ~WinInput() override;

  // One frame: the base step, then the devices' frame start, the buffered raw input, the
  // mouse positions, and last the end of every device's first frame.
  void Update() override;
  void ResetDevices(bool focus) override;
  void PlaceCursor(bool centre) override;

  // The window procedure while the system lives.
  static LRESULT WndProcHook(HWND window, UINT message, WPARAM w, LPARAM l);
  // DirectInput's enumeration reports each attached controller here.
  static BOOL EnumDevicesCallback(const DIDEVICEINSTANCEA* instance, LPVOID self);

  HWND GetWindow() const { return window_; }
  bool IsWow64() const { return wow64_; }

 private:
  struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
  };
  // Puts the window's previous procedure back when it goes, also when construction fails.
  struct Subclass {
    HWND window = nullptr;
    WNDPROC previous = nullptr;
    ~Subclass();
  };

  void EnumerateDevices();
  // Gives each controller that the WMI device query lists as an XInput pad its slot.
  void MapXInputDevices();
  void RegisterRawInput();
  // Mice start their frame, keyboards keep their previous key state, controllers are polled.
  void StartDeviceFrames();
  // Applies the raw input that was buffered since the last frame.
  void DrainRawInput();
  // Mice take the cursor position or the grab step and report movement.
  void UpdateMice();
  // Hands one record to the device of its handle; the record is `size` bytes long.
  void HandleRecord(const BYTE* record, UINT size, bool wow64);
  // The cursor in client coordinates.
  bool ClientCursor(POINT& point) const;
  POINT ClientCentre() const;

  HWND window_;
  bool wow64_ = false;
  Subclass subclass_;
  std::unique_ptr<IDirectInput8A, ComRelease> directInput_;
  std::unique_ptr<IDirectInputDevice8A, ComRelease> systemKeyboard_;
  std::map<HANDLE, WinMouse*> miceByHandle_;
  std::map<HANDLE, WinKeyboard*> keyboardsByHandle_;
};
