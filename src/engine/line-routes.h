#pragma once
// Typed lines from the window or the terminal, routed by their first word.
// Each subsystem registers its own verbs when it is made, so adding one never
// touches a central list.

#include <functional>
#include <string>
#include <vector>

namespace orvo {

class LineRoutes {
 public:
  // Handed what follows the verb (and the space after it, if any).
  using Handler = std::function<void(const std::string& rest)>;

  // The line is exactly `verb`.
  void exact(std::string verb, Handler handler);
  // The line starts with `prefix` ("login " takes "login on"; "hands" also "hands left").
  void prefix(std::string prefix, Handler handler);

  // Runs the handler of the first exact match, else of the longest prefix;
  // false when no verb matches.
  bool route(const std::string& line) const;

 private:
  struct Route {
    std::string verb;
    bool exact;
    Handler handler;
  };
  std::vector<Route> routes_;
};

}  // namespace orvo
