// The CUE sheet of a hostile album: any details, titles and lengths. The sheet must read back
// line by line, every value within its quotes, the tracks numbered and timed in order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "webview/cuesheet.h"

namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// `rest` is one quoted value and then `tail`; the value holds no quote of its own.
bool QuotedThen(std::string_view rest, std::string_view tail) {
  if (rest.size() < 2 + tail.size() || rest.front() != '"') return false;
  const std::size_t close = rest.find('"', 1);
  return close != std::string_view::npos && rest.substr(close + 1) == tail;
}

// "mm:ss:ff" in frames, or -1: at least two digits of minutes, seconds below 60, frames below 75.
long long CueFrames(std::string_view time) {
  const std::size_t first = time.find(':');
  const std::size_t second = time.rfind(':');
  if (first == std::string_view::npos || first == second || first < 2) return -1;
  const std::string_view mm = time.substr(0, first);
  const std::string_view ss = time.substr(first + 1, second - first - 1);
  const std::string_view ff = time.substr(second + 1);
  if (!IsDigits(mm) || !IsDigits(ss) || !IsDigits(ff) || ss.size() != 2 || ff.size() != 2) {
    return -1;
  }
  if (std::stoi(std::string(ss)) >= 60 || std::stoi(std::string(ff)) >= 75) return -1;
  return (std::stoll(std::string(mm)) * 60 + std::stoi(std::string(ss))) * 75 +
         std::stoi(std::string(ff));
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  webview::CueInput input;
  input.albumFileTitle = in.ConsumeRandomLengthString(64);
  input.albumFileExtension = in.ConsumeRandomLengthString(8);
  input.details = {in.ConsumeRandomLengthString(64), in.ConsumeRandomLengthString(64),
                   in.ConsumeRandomLengthString(8)};
  const std::size_t tracks = in.ConsumeIntegralInRange<std::size_t>(0, 120);
  for (std::size_t i = 0; i < tracks && in.remaining_bytes() > 0; ++i) {
    input.tracks.push_back({in.ConsumeRandomLengthString(64), in.ConsumeIntegral<std::int32_t>()});
  }
  const std::string sheet = webview::CueSheetText(input);

  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < sheet.size();) {
    const std::size_t end = sheet.find("\r\n", start);
    Check(end != std::string::npos);
    lines.push_back(std::string_view(sheet).substr(start, end - start));
    start = end + 2;
  }
  for (const std::string_view line : lines) {
    for (const char c : line) Check(static_cast<unsigned char>(c) >= 0x20);
  }
  Check(lines.size() >= 5);
  Check(lines[0].starts_with("TITLE ") && QuotedThen(lines[0].substr(6), ""));
  Check(lines[1].starts_with("PERFORMER ") && QuotedThen(lines[1].substr(10), ""));
  Check(lines[2].starts_with("REM "));
  Check(lines[4].starts_with("FILE ") && QuotedThen(lines[4].substr(5), " MP3"));

  // Per track: TRACK, TITLE, PERFORMER, (PREGAP for the first), INDEX 01 at its start.
  std::size_t at = 5;
  long long previous = 0;
  for (std::size_t track = 1; track <= input.tracks.size(); ++track) {
    Check(at + 3 < lines.size());
    const std::string_view head = lines[at];
    Check(head.starts_with("  TRACK ") && head.ends_with(" AUDIO"));
    const std::string_view number = head.substr(8, head.size() - 8 - 6);
    Check(IsDigits(number) && std::stoul(std::string(number)) == track);
    Check(lines[at + 1].starts_with("    TITLE ") && QuotedThen(lines[at + 1].substr(10), ""));
    Check(lines[at + 2].starts_with("PERFORMER ") && QuotedThen(lines[at + 2].substr(10), ""));
    at += 3;
    if (track == 1) Check(lines[at++] == "    PREGAP 00:00:00");
    Check(at < lines.size() && lines[at].starts_with("    INDEX 01 "));
    const long long start = CueFrames(lines[at].substr(13));
    Check(start >= previous);
    previous = start;
    ++at;
  }
  Check(at == lines.size());
  return 0;
}
