// What the dialog tests share: finding controls by name, pictures of shown
// windows, and an opener that records what the shell was asked to open.
#pragma once

#include "GuiTestEnv.h"

#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>
#include <QWidget>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace dlgtest {

/// The child of `parent` named `name`. A missing one ends the test program
/// with its name: every use needs the control.
template <typename T>
T* Child(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (!child) {
        ADD_FAILURE() << "no control " << name;
        std::abort();
    }
    return child;
}

/// Shows a window (on the offscreen screen), lets it lay out and saves its
/// picture as <build>/screenshots/<name>.png.
inline void Shot(QWidget* w, const std::string& name)
{
    w->show();
    QApplication::processEvents();
    guitest::SaveShot(w, name);
}

/// The caption of a page of a tab control, and whether its tab is shown.
inline QString TabText(QTabWidget* tabs, QWidget* page) { return tabs->tabText(tabs->indexOf(page)); }
inline bool TabShown(QTabWidget* tabs, QWidget* page)
{
    int i = tabs->indexOf(page);
    return i >= 0 && tabs->isTabVisible(i);
}

/// Replaces the desktop's opener by a script that writes its argument into
/// a file, for as long as the object lives.
class OpenerRecorder {
public:
    OpenerRecorder()
    {
        char pattern[] = "/tmp/tarnwick-opener-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_Dir = made ? made : "/tmp";
        m_Out = m_Dir + "/opened.txt";
        std::string script = m_Dir + "/opener.sh";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" << m_Out << ".tmp'\nmv '" << m_Out
                              << ".tmp' '" << m_Out << "'\n";
        chmod(script.c_str(), 0755);
        plat::SetShellOpener(script);
    }
    ~OpenerRecorder()
    {
        plat::SetShellOpener("");
        std::error_code ec;
        std::filesystem::remove_all(m_Dir, ec);
    }

    /// What the opener was last given; waits for the detached opener to
    /// write it (empty when nothing came).
    std::string Opened()
    {
        for (int i = 0; i < 500; ++i) {
            std::ifstream f(m_Out);
            std::stringstream ss;
            ss << f.rdbuf();
            std::string s = ss.str();
            if (!s.empty() && s.back() == '\n') {
                std::filesystem::remove(m_Out);
                s.pop_back();
                return s;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::string();
    }

private:
    std::string m_Dir;
    std::string m_Out;
};

}  // namespace dlgtest
