#pragma once
#include <cstdint>
#include <random>

#include "vocabulary/Text.h"

namespace rheo::sim {

// One measurement in the instrument's shape with every value given: three lines, each ended
// by a carriage return. The temperature field carries its unit ("27.5C") or an error word.
Text MessageText(const Text& timeOfDay, const Text& speed, const Text& temperature,
                 const Text& viscosity, const Text& torque);

// Values that drift from one message to the next, with the instrument's error words mixed in
// now and then ("Lw", "Hih", "---" for the temperature, "Out of Range" for the viscosity, "--"
// for the torque), for demonstrations. The same series number gives the same series on every
// system.
class MessageVariation {
  public:
    static constexpr int kErrorEvery = 6;  // every sixth message carries one error word

    explicit MessageVariation(std::uint32_t series) : random_(series == 0 ? 1 : series) {}

    Text Next(const Text& timeOfDay, const Text& speed);

  private:
    int Draw(int span);  // 0 .. span-1

    std::minstd_rand random_;
    int count_ = 0;
    int temperatureTenths_ = 265;
    int viscosity_ = 1250;
};

}  // namespace rheo::sim
