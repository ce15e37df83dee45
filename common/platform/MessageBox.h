// Message boxes asked for by code without a window of its own. The wizard
// installs a hook that shows a real box; tests install a recorder; with no
// hook the message goes to the standard error stream.
#pragma once

#include <functional>
#include <string>

namespace plat {

enum class MsgIcon { None, Error, Warning, Information, Question };

using MessageHook = std::function<void(const std::string& title, const std::string& text, MsgIcon icon)>;

/// Installs the hook; an empty one restores the default.
void SetMessageHook(MessageHook hook);

/// Shows a message through the hook (an owner-less, modal box).
void ShowMessage(const std::string& title, const std::string& text, MsgIcon icon);

}  // namespace plat
