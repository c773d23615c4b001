#pragma once
// The log: "log.txt" in the data folder, one line per event, local time
// "yyyy-MM-dd HH:mm:ss", two spaces, the text. Never trimmed. Thread-safe;
// a write that fails is ignored.

#include <filesystem>
#include <mutex>
#include <string>

namespace orvo {

class Log {
 public:
  explicit Log(std::filesystem::path file) : file_(std::move(file)) {}

  void logLine(const std::string& text);
  const std::filesystem::path& file() const { return file_; }

  // "yyyy-MM-dd HH:mm:ss" (or "HH:mm:ss" without the date) in local time.
  static std::string localTime(bool withDate = true);

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
};

}  // namespace orvo
