#pragma once
// Where EncodeMp3 writes its output, for the bridge and for the run that must ask before an
// existing file is replaced.

#include <algorithm>
#include <string>

#include "base/text.h"

namespace wavpress {

/// `path` with the file name's extension replaced by ".mp3". The extension starts at the last
/// '.' of the file name; the path's first character never counts. A name without one gets
/// ".mp3" appended, so that a dot in a folder name can never send the output into another
/// folder.
inline std::string Mp3PathFor(const std::string& path) {
  const std::size_t nameStart = path.size() - base::FileNameOf(path).size();  // 0 without a folder
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && dot >= std::max<std::size_t>(nameStart, 1)) {
    return path.substr(0, dot) + ".mp3";
  }
  return path + ".mp3";
}

}  // namespace wavpress
