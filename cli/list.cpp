#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "album/archive.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/opening.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

const char* KindName(album::ItemKind kind) {
  switch (kind) {
    case album::ItemKind::Picture:
      return "picture";
    case album::ItemKind::Lyrics:
      return "lyrics";
    default:
      return "track";
  }
}

json Listing(const OpenedFile& opened) {
  const bool isAlbum = opened.archive.format == album::ArchiveFormat::Album;
  const album::ShownDetails& shown = opened.archive.details;
  json items = json::array();
  int index = 0;
  for (const album::ArchiveItem& item : opened.archive.items) {
    json entry = {{"index", index++},
                  {"kind", KindName(item.kind)},
                  {"name", item.name},
                  {"offset", item.offset},
                  {"size", item.size}};
    if (item.kind == album::ItemKind::Track) {
      entry["title"] = item.title;
      if (isAlbum) entry["play_ms"] = item.playLength;
    }
    if (item.kind == album::ItemKind::Lyrics) entry["track"] = item.trackNumber;
    items.push_back(std::move(entry));
  }
  return {{"format", isAlbum ? "album" : "albumwrap"},
          {"title", base::Trim(shown.title)},
          {"artist", base::Trim(shown.artist)},
          {"comment", base::Trim(shown.comment)},
          {"year", isAlbum ? json(base::Trim(shown.year)) : json(nullptr)},
          {"tracks", shown.trackCount},
          {"items", std::move(items)}};
}

std::string Minutes(std::int32_t ms) {
  const int seconds = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

void PrintText(const json& listing) {
  const bool isAlbum = listing["format"] == "album";
  const auto text = [&](const json& value) { return TerminalText(value.get<std::string>()); };
  std::cout << "Album Title : " << text(listing["title"]) << '\n'
            << "Artist : " << text(listing["artist"]) << '\n'
            << (isAlbum ? "Completeness : " : "Author : ") << text(listing["comment"]) << '\n';
  if (isAlbum) std::cout << "Year : " << text(listing["year"]) << '\n';
  std::cout << "Tracks : " << listing["tracks"].get<int>() << '\n';
  for (const json& item : listing["items"]) {
    std::cout << item["index"].get<int>() << '\t' << item["kind"].get<std::string>() << '\t';
    if (item.contains("title")) std::cout << text(item["title"]) << '\t';
    std::cout << text(item["name"]);
    if (item.contains("play_ms")) std::cout << '\t' << Minutes(item["play_ms"].get<std::int32_t>());
    std::cout << '\t' << item["size"].get<std::int64_t>() << " bytes\n";
  }
}

}  // namespace

void AddListCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("list", "List the items of an album or AlbumWrap archive");
  auto path = std::make_shared<std::string>();
  auto asJson = std::make_shared<bool>(false);
  command->add_flag("--json", *asJson, "Print JSON");
  command->add_option("ALBUM", *path, "Album or AlbumWrap file")->required();
  command->callback([path, asJson, &exitCode] {
    OpenedFile opened;
    if (!OpenForReading(*path, opened)) {
      exitCode = 1;
      return;
    }
    const json listing = Listing(opened);
    if (*asJson) {
      std::cout << listing.dump(2) << '\n';
    } else {
      PrintText(listing);
    }
    exitCode = 0;
  });
}

}  // namespace cli
