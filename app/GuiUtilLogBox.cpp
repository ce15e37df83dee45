#include "GuiUtilLogBox.h"

#include "ApputilFacadeSet.h"
#include "GuiUtil.h"

#include "platform/WinPath.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TDebugLogBox::TDebugLogBox(QWidget* parent, const QString& intro) : QGroupBox(parent)
{
    setTitle(QStringLiteral(" Debug Information "));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(12, 10, 12, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    int row = 0;
    if (!intro.isEmpty()) {
        auto* text = new QLabel(intro, this);
        text->setWordWrap(true);
        grid->addWidget(text, row++, 0, 1, 3);
    }

    auto makeRow = [&](const QString& caption, const char* editName, const char* buttonName, QLineEdit** edit,
                       QPushButton** button) {
        auto* label = new QLabel(caption, this);
        *edit = new QLineEdit(this);
        (*edit)->setObjectName(QLatin1String(editName));
        (*edit)->setReadOnly(true);
        label->setBuddy(*edit);
        *button = new QPushButton(QStringLiteral("..."), this);
        (*button)->setObjectName(QLatin1String(buttonName));
        (*button)->setFixedWidth(36);
        (*button)->setAutoDefault(false);
        grid->addWidget(label, row, 0);
        grid->addWidget(*edit, row, 1);
        grid->addWidget(*button, row, 2);
        ++row;
    };
    makeRow(QStringLiteral("Log Folder:"), "edtFolder", "btnFolder", &edtFolder, &btnFolder);
    makeRow(QStringLiteral("Log File:"), "edtFile", "btnFile", &edtFile, &btnFile);
    grid->setColumnStretch(1, 1);

    connect(btnFolder, &QPushButton::clicked, this, &TDebugLogBox::btnFolderClick);
    connect(btnFile, &QPushButton::clicked, this, &TDebugLogBox::btnFileClick);
    FillLocation();
}

void TDebugLogBox::FillLocation()
{
    std::string folder;
    if (!FindSettingsFolder(&folder) || folder.empty()) {
        m_Folder.clear();
        m_File.clear();
        edtFolder->clear();
        edtFile->clear();
        btnFolder->setEnabled(false);
        btnFile->setEnabled(false);
        return;
    }
    m_Folder = folder;
    m_File = folder + "appdebug.log";
    // The program keeps paths in Windows form; the user is shown the path of
    // this machine's file system. Host paths are UTF-8.
    edtFolder->setText(QString::fromStdString(plat::ToHostPath(m_Folder)));
    edtFile->setText(QString::fromStdString(plat::ToHostPath(m_File)));
    btnFolder->setEnabled(true);
    btnFile->setEnabled(true);
}

void TDebugLogBox::btnFolderClick()
{
    if (!m_Folder.empty())
        GuiShellOpen(window(), m_Folder, QStringLiteral("the log folder"));
}

void TDebugLogBox::btnFileClick()
{
    if (m_File.empty())
        return;
    if (!plat::HostExists(plat::ToHostPath(m_File))) {
        GuiMessage(window(), QStringLiteral("Error"), QStringLiteral("Debug log file doesn't exist"),
                   QMessageBox::Information);
        return;
    }
    GuiShellOpen(window(), m_File, QStringLiteral("the debug log"));
}
