#pragma once
// The system prompts of the AI routes: the one-shot question, the long-lived
// session, and the on-device model. Each names the assistant and the player;
// "About them: ..." appears only when the profile says something about them.
// Pure functions.

#include <string>
#include <vector>

namespace orvo::ai {

std::string oneShotPersona(const std::string& name, const std::string& user,
                           const std::string& about);
std::string sessionPersona(const std::string& name, const std::string& user,
                           const std::string& about);
std::string localPersona(const std::string& name, const std::string& user);

// The requests the session may answer with "DO: ", in order, and joined by " | ".
const std::vector<std::string>& sessionCommandList();
std::string sessionCommands();

}  // namespace orvo::ai
