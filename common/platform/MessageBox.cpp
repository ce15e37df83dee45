#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace plat {

namespace {

std::mutex g_mutex;
MessageHook g_hook;

}  // namespace

void SetMessageHook(MessageHook hook)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_hook = std::move(hook);
}

void ShowMessage(const std::string& title, const std::string& text, MsgIcon icon)
{
    MessageHook hook;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        hook = g_hook;
    }
    if (hook) {
        hook(title, text, icon);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace plat
