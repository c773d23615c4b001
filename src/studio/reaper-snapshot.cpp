#include "studio/reaper-snapshot.h"

#include <algorithm>

#include "studio/reaper-wire.h"

namespace orvo {
namespace {

std::vector<std::string> listOf(std::string_view field) {
  std::vector<std::string> out;
  if (field.empty()) return out;
  for (std::string_view piece : wire::split(field, ';')) out.emplace_back(piece);
  return out;
}

std::optional<DawTrack> trackLine(const std::vector<std::string_view>& f) {
  auto index = wire::integer(f[0]);
  auto vol = wire::real(f[2]);
  auto pan = wire::integer(f[3]);
  if (!index || *index < 0 || !vol || !pan) return std::nullopt;
  DawTrack track;
  track.index = *index;
  track.name = f[1];
  track.volDB = *vol;
  track.pan = *pan;
  track.mute = f[4] == "1";
  track.solo = f[5] == "1";
  track.arm = f[6] == "1";
  track.selected = f[7] == "1";
  track.fx = listOf(f[8]);
  std::vector<std::string> on = listOf(f[9]);
  track.fxOn.resize(track.fx.size());
  for (std::size_t i = 0; i < track.fx.size(); ++i) track.fxOn[i] = i < on.size() && on[i] == "1";
  if (!f[10].empty()) {
    for (std::string_view entry : wire::split(f[10], ';')) {
      if (entry.empty()) continue;
      DawSend send;
      // Names may hold "@", the level never does.
      std::size_t at = entry.rfind('@');
      send.to = entry.substr(0, at);
      if (at != std::string_view::npos) send.db = wire::real(entry.substr(at + 1)).value_or(0);
      track.sends.push_back(std::move(send));
    }
  }
  track.items = std::max(0, wire::integer(f[11]).value_or(0));
  return track;
}

}  // namespace

std::optional<DawState> parseSnapshot(std::string_view text) {
  DawState state;
  bool master = false;
  for (std::string_view line : wire::split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    std::vector<std::string_view> fields = wire::split(line, '|');
    if (fields[0] == "P") {
      if (fields.size() < 4) continue;
      state.transport = fields[1];
      state.position = fields[2];
      if (auto tempo = wire::real(fields[3])) state.tempo = *tempo;
      continue;
    }
    if (fields.size() < 12) continue;
    auto track = trackLine(fields);
    if (!track) continue;
    if (track->index == 0) {
      if (master) continue;
      master = true;
      state.master = std::move(*track);
      state.master.name = "Master";
    } else {
      state.tracks.push_back(std::move(*track));
    }
  }
  if (!master) return std::nullopt;
  return state;
}

}  // namespace orvo
