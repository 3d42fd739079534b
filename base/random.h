#pragma once
// The player's random track choice.

namespace base {

/// Seeds the generator behind RandomInt from the clock.
void SeedRandomFromClock();

/// A whole number from low to high (both included), drawn as low + whole part of
/// (r * (high - low + 1)) with r uniform in [0, 1).
int RandomInt(int low, int high);

}  // namespace base
