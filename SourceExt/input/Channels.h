#pragma once
// Application-defined input channels: a digital channel is on or off, an analogue channel
// carries a value; each is computed from the device controls bound to it. The system
// keeps one ordered map of each kind, keyed by channel id.
#include <cstdint>
#include <vector>

namespace DRENO {

using ChannelId = std::uint64_t;

struct DigitalBinding {
  std::uint64_t deviceId = 0;  // the device's position in the system's device array
  std::uint64_t control = 0;   // button or axis index
  std::uint8_t analogue = 0;   // 1: an axis, 0: a button
  float threshold = 0.0f;      // axes only
};

struct DigitalChannel {
  std::vector<DigitalBinding> bindings;
  std::uint8_t state = 0;    // 1 = on
  std::uint8_t changed = 0;  // the state changed in the current frame
};

struct AnalogueBinding {
  enum Kind : std::uint32_t { Axis = 0, Button = 1, AxisWithThreshold = 2 };

  std::uint64_t deviceId = 0;
  std::uint64_t control = 0;
  std::uint32_t kind = Axis;
  float value = 0.0f;   // what a held button gives, or the threshold of AxisWithThreshold
  float factor = 0.0f;  // AxisWithThreshold only
};

struct AnalogueChannel {
  std::vector<AnalogueBinding> bindings;
  float value = 0.0f;
  float accumulatedChange = 0.0f;  // sum of the value's changes since the frame started
};

}  // namespace DRENO
