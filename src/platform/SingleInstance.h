#pragma once

namespace rheo {

// One copy of the program per user session.
class SingleInstance {
  public:
    virtual ~SingleInstance() = default;
    // Takes the instance for this process; false when another copy already holds it.
    virtual bool Acquire() = 0;
};

}  // namespace rheo
