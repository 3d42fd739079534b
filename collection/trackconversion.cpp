#include "collection/trackconversion.h"

namespace collection {

std::unique_ptr<LameLibrary> LoadTrackEncoder(std::string& message) {
  std::string error;
  auto encoder = LameLibrary::Load(error);
  if (!encoder) message = std::string(kCannotConvertTracks) + error;
  return encoder;
}

TrackConversion ConvertRefusedTracks(const std::vector<std::string>& entries,
                                     const std::function<bool()>& stopped) {
  TrackConversion result;
  result.failed = true;
  std::string message;
  const auto encoder = LoadTrackEncoder(message);
  if (!encoder) {
    result.lines.push_back(message);
    return result;
  }
  std::string error;
  result.work = WorkFolder::Create(error);
  if (!result.work) {
    result.lines.push_back(std::string(kCannotConvertTracks) + error);
    return result;
  }
  collection::ConvertedList converted =
      collection::ConvertRefusedTracks(entries, *encoder, result.work->Path(), stopped);
  if (!converted.failure.ok()) {
    result.lines.push_back(converted.failure.error);
    return result;
  }
  for (const std::string& name : converted.converted) result.lines.push_back("Converted " + name);
  result.entries = std::move(converted.entries);
  result.failed = false;
  return result;
}

}  // namespace collection
