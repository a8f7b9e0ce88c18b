#pragma once
#include <string>

namespace rheo {

// What a serial link on a Unix terminal device asks of the system beyond its toolkit; only
// built where devices are files (there is no Windows side).

// Whether the name leads to a character device now.
bool IsCharacterDevice(const std::string& name);

// Takes the device's own exclusive lock, without waiting: false when another holds it.
bool LockDevice(int fd);

// Whether the terminal behind the open descriptor has hung up (its device went away).
bool DeviceHungUp(int fd);

// Whether the name still leads to the device that the descriptor has open (the same device
// number): false when the name is gone or leads elsewhere.
bool NameLeadsTo(const std::string& name, int fd);

}  // namespace rheo
