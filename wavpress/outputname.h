#pragma once
// Where EncodeMp3 writes its output, for the bridge and for front ends that must ask before an
// existing file is replaced.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/fileio.h"
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

/// Where a run puts the MP3 of `input`: Mp3PathFor(input), unless a file of the same run wrote
/// that already (`written`, the outputs so far); then the first free "NAME (2).mp3" beside it,
/// so that two outputs of one run never replace each other ("a.wav" and "a.WAV").
inline std::filesystem::path RunOutputFor(const std::string& input,
                                          const std::vector<std::filesystem::path>& written) {
  const std::filesystem::path usual = base::PathFromUtf8(Mp3PathFor(input));
  const auto clash = [&](const std::filesystem::path& path) {
    return std::any_of(written.begin(), written.end(), [&](const auto& earlier) {
      return earlier == path || base::SameFile(earlier, path);
    });
  };
  if (!clash(usual)) return usual;
  return base::FreePath(usual.parent_path(), base::Utf8FromPath(usual.filename()), 2, clash);
}

/// What a run says of an input written under another name by RunOutputFor.
inline std::string WrittenAsNote(const std::string& input, const std::filesystem::path& output) {
  return input + ": " + Mp3PathFor(input) +
         " was written from another file of this run; written as " + base::Utf8FromPath(output);
}

}  // namespace wavpress
