#include "platform/library-logs.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>

#include <cstdarg>
#include <cstdio>

namespace orvo {
namespace {

std::function<void(const std::string&)>* sink = nullptr;

void write(const std::string& line) {
  if (sink && *sink) (*sink)(line);
}

void fromFluid(int level, const char* message, void*) {
  const char* kind = level <= FLUID_ERR ? "error" : level == FLUID_WARN ? "warning" : "info";
  if (level >= FLUID_DBG) return;
  write(std::string("fluidsynth ") + kind + ": " + (message ? message : ""));
}

void fromGlib(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
  write(std::string("glib") + (domain ? std::string(" ") + domain : "") + ": " +
        (message ? message : ""));
}

GLogWriterOutput fromGlibStructured(GLogLevelFlags, const GLogField* fields, gsize count,
                                    gpointer) {
  std::string domain, message;
  for (gsize i = 0; i < count; ++i) {
    std::string key = fields[i].key;
    if (fields[i].length >= 0) continue;  // only text fields
    if (key == "MESSAGE") message = static_cast<const char*>(fields[i].value);
    if (key == "GLIB_DOMAIN") domain = static_cast<const char*>(fields[i].value);
  }
  write("glib" + (domain.empty() ? "" : " " + domain) + ": " + message);
  return G_LOG_WRITER_HANDLED;
}

void fromAlsa(const char* file, int line, const char* function, int, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  write(std::string("alsa: ") + text + " (" + (function ? function : "") + ", " +
        (file ? file : "") + ":" + std::to_string(line) + ")");
}

}  // namespace

void routeLibraryLogs(std::function<void(const std::string&)> log) {
  sink = new std::function<void(const std::string&)>(std::move(log));  // lives for the process
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
    fluid_set_log_function(level, fromFluid, nullptr);
  }
  g_log_set_default_handler(fromGlib, nullptr);
  g_log_set_writer_func(fromGlibStructured, nullptr, nullptr);
  snd_lib_error_set_handler(fromAlsa);
}

}  // namespace orvo
