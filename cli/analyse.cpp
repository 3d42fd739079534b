#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "mp3header/mp3header.h"

namespace cli {
namespace {

using mp3header::AnalyseStatus;
using json = nlohmann::ordered_json;

json Record(const std::string& file) {
  mp3header::MP3HeaderInfo info;
  const AnalyseStatus status = mp3header::AnalyseMP3(base::PathFromUtf8(file), info);
  const bool decoded = status == AnalyseStatus::Ok || status == AnalyseStatus::FreeFormat;
  const bool scanned =
      decoded || status == AnalyseStatus::NotMpeg1 || status == AnalyseStatus::ReservedSampleRate;
  const auto field = [&](const auto& value) { return decoded ? json(value) : json(nullptr); };
  return {
      {"file", file},
      {"bitrate", field(info.Bitrate)},
      {"sample_rate", field(info.SampleRate)},
      {"channel_mode", field(info.ChannelMode)},
      {"emphasis", field(info.Emphasis)},
      {"mpeg_version", field(info.MpegVersion)},
      {"layer", field(info.Layer)},
      {"padding", field(info.Padding)},
      {"crc_protected", field(info.CrcProtected)},
      {"seconds", field(info.Seconds)},
      {"copyright", field(info.Copyright)},
      {"original", field(info.Original)},
      {"private_bit", field(info.PrivateBit)},
      {"is_vbr", scanned ? json(info.IsVBR) : json(nullptr)},
      {"header_pos", scanned ? json(info.HeaderPos) : json(nullptr)},
      {"accepted", mp3header::IsAcceptedTrack(status, info)},
  };
}

std::string Text(const json& value) {
  return value.is_null() ? "-" : value.is_string() ? value.get<std::string>() : value.dump();
}

}  // namespace

void AddAnalyseCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("analyse", "Analyse the first frame of MP3 files");
  auto files = std::make_shared<std::vector<std::string>>();
  auto asJson = std::make_shared<bool>(false);
  command->add_flag("--json", *asJson, "Print JSON");
  command->add_option("FILE", *files, "MP3 files")->required();
  command->callback([files, asJson, &exitCode] {
    json all = json::array();
    exitCode = 0;
    for (const std::string& file : *files) {
      // Reading a FIFO or a device would wait forever: such a file is refused, and said so.
      std::string error;
      if (!base::OpenRegularFile(base::PathFromUtf8(file), error)) {
        std::cerr << "Cannot open " << TerminalText(file) << ": " << error << '\n';
        exitCode = 1;
      }
      all.push_back(Record(file));
    }
    if (*asJson) {
      std::cout << (all.size() == 1 ? all[0] : all).dump(2) << '\n';
    } else {
      for (const json& record : all) {
        std::cout << TerminalText(record["file"].get<std::string>()) << '\n';
        for (const auto& [key, value] : record.items()) {
          if (key != "file") std::cout << "  " << key << ": " << Text(value) << '\n';
        }
      }
    }
  });
}

}  // namespace cli
