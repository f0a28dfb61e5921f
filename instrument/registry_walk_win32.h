#pragma once
// Walking a registry key's subkeys or values one index after another, as
// RegEnumKeyExW and RegEnumValueW go. The walk ends at the end of the key
// (ERROR_NO_MORE_ITEMS) and at any other error but ERROR_MORE_DATA, an entry
// too long for the caller's buffer, which is passed over: a key deleted while
// it is walked answers every index with the same error, and a walk that went
// on past it would never end.

#include <windows.h>

namespace korsi::win32 {

// Calls enumerate(index) for index 0, 1, 2, ... and take() after each one
// that gave ERROR_SUCCESS, until the walk ends as said above.
template <class Enumerate, class Take>
void walkRegistryEntries(Enumerate enumerate, Take take) {
  for (DWORD index = 0;; ++index) {
    const LSTATUS status = enumerate(index);
    if (status == ERROR_SUCCESS) {
      take();
    } else if (status != ERROR_MORE_DATA) {
      return;
    }
  }
}

}  // namespace korsi::win32
