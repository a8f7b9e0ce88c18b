#include "MessageVariation.h"

#include <algorithm>
#include <string>

namespace rheo::sim {
namespace {

// A value in tenths as the instrument prints it, with "." as the decimal point.
Text Tenths(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

Text EightDigits(int value) {
    Text digits = std::to_string(value);
    return Text(digits.size() < 8 ? 8 - digits.size() : 0, '0') + digits;
}

}  // namespace

Text MessageText(const Text& timeOfDay, const Text& speed, const Text& temperature,
                 const Text& viscosity, const Text& torque) {
    return timeOfDay + "   sp: LCP    rpm: " + speed + "   T: " + temperature + "\r" +
           "cP: " + viscosity + "\r" + " %: " + torque + "\r";
}

int MessageVariation::Draw(int span) {
    return static_cast<int>((random_() - std::minstd_rand::min()) % static_cast<unsigned>(span));
}

Text MessageVariation::Next(const Text& timeOfDay, const Text& speed) {
    ++count_;
    temperatureTenths_ = std::clamp(temperatureTenths_ + Draw(7) - 3, 200, 350);
    viscosity_ = std::clamp(viscosity_ + Draw(81) - 40, 400, 4000);
    const int torqueTenths = std::clamp(viscosity_ * 20 / 100 + Draw(9) - 4, 50, 950);

    Text temperature = Tenths(temperatureTenths_) + "C";
    Text viscosity = EightDigits(viscosity_);
    Text torque = Tenths(torqueTenths);
    if (count_ % kErrorEvery == 0) {
        switch ((count_ / kErrorEvery - 1) % 5) {
            case 0:
                temperature = "Lw";
                break;
            case 1:
                viscosity = "Out of Range";
                break;
            case 2:
                temperature = "Hih";
                break;
            case 3:
                torque = "--";
                break;
            default:
                temperature = "---";
                break;
        }
    }
    return MessageText(timeOfDay, speed, temperature, viscosity, torque);
}

}  // namespace rheo::sim
