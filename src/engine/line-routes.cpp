#include "engine/line-routes.h"

namespace orvo {

void LineRoutes::exact(std::string verb, Handler handler) {
  routes_.push_back({std::move(verb), true, std::move(handler)});
}

void LineRoutes::prefix(std::string prefix, Handler handler) {
  routes_.push_back({std::move(prefix), false, std::move(handler)});
}

bool LineRoutes::route(const std::string& line) const {
  const Route* best = nullptr;
  for (const auto& route : routes_) {
    if (route.exact) {
      if (line == route.verb) {
        best = &route;
        break;
      }
    } else if (line.compare(0, route.verb.size(), route.verb) == 0 &&
               (!best || route.verb.size() > best->verb.size())) {
      best = &route;
    }
  }
  if (!best) return false;
  std::string rest = line.substr(std::min(line.size(), best->verb.size()));
  if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
  best->handler(rest);
  return true;
}

}  // namespace orvo
