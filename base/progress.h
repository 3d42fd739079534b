#pragma once
// The one shape of progress for long work: `done` of `total` steps so far. A false return asks
// the work to stop where it can; work that cannot stop goes on.

#include <functional>

namespace base {

using Progress = std::function<bool(int done, int total)>;

}  // namespace base
