#include "platform/midi/raw/raw-devices-midi-backend.h"

#include <regex>

#include "platform/files.h"
#include "platform/signals.h"

namespace orvo {

RawDevicesMidiBackend::RawDevicesMidiBackend(std::filesystem::path folder,
                                             std::function<void(const std::string&)> log,
                                             double every)
    : folder_(std::move(folder)), log_(std::move(log)), every_(every) {}

RawDevicesMidiBackend::~RawDevicesMidiBackend() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (looker_.joinable()) looker_.join();
}

std::string RawDevicesMidiBackend::deviceName(const std::filesystem::path& device) {
  static const std::regex pattern("midiC([0-9]+)D([0-9]+)");
  std::smatch match;
  std::string file = device.filename().string();
  if (std::regex_match(file, match, pattern)) {
    auto id = files::readFile("/proc/asound/card" + match[1].str() + "/id");
    if (id && !files::trim(*id).empty()) {
      return files::trim(*id) + (match[2].str() == "0" ? "" : " " + match[2].str());
    }
  }
  return file;
}

bool RawDevicesMidiBackend::start(PacketHandler onPacket, std::function<void()> onSetupChanged) {
  onPacket_ = std::move(onPacket);
  onSetupChanged_ = std::move(onSetupChanged);
  look();
  looker_ = std::thread([this] {
    blockQuitSignalsHere();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      wake_.wait_for(lock, std::chrono::duration<double>(every_));
      if (stopping_) break;
      lock.unlock();
      if (look() && onSetupChanged_) onSetupChanged_();
      lock.lock();
    }
  });
  return true;
}

bool RawDevicesMidiBackend::look() {
  static const std::regex pattern("midiC[0-9]+D[0-9]+");
  std::vector<std::filesystem::path> found;
  std::error_code error;
  if (std::filesystem::is_directory(folder_, error)) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
      if (std::regex_match(entry.path().filename().string(), pattern)) found.push_back(entry.path());
    }
  }
  bool added = false;
  for (const auto& path : found) {
    {
      std::lock_guard guard(mutex_);
      if (devices_.count(path)) continue;
    }
    auto device = std::make_unique<RawMidiBackend>(path, "", log_);
    device->start(onPacket_, [this] {
      if (onSetupChanged_) onSetupChanged_();
    });
    std::string name = deviceName(path);
    log_("MIDI device " + path.string() + " found: " + name);
    std::lock_guard guard(mutex_);
    names_[path] = name;
    devices_[path] = std::move(device);
    added = true;
  }
  return added;
}

std::vector<MidiSource> RawDevicesMidiBackend::sources() {
  std::vector<MidiSource> open;
  std::lock_guard guard(mutex_);
  std::int64_t id = 100;
  for (auto& [path, device] : devices_) {
    ++id;
    if (!device->sources().empty()) open.push_back({names_[path], id});
  }
  return open;
}

void RawDevicesMidiBackend::sendToDestinations(const std::uint8_t* bytes, std::size_t size) {
  std::lock_guard guard(mutex_);
  for (auto& [path, device] : devices_) device->sendToDestinations(bytes, size);
}

}  // namespace orvo
