#include "GuiUtil.h"

#include "platform/Codepage.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/WinPath.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include <cstring>

QString AnsiText(std::string_view ansi)
{
    if (ansi.empty())
        return QString();
    std::u16string wide = plat::AnsiToWide(ansi);
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

QString AnsiText(const char* ansi)
{
    return ansi ? AnsiText(std::string_view(ansi, std::strlen(ansi))) : QString();
}

QString RecordText(std::string_view text, bool utf8)
{
    if (!utf8)
        return AnsiText(text);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void SetFixedClientSize(QWidget* w, int width, int height)
{
    w->setFixedSize(width, height);
}

TBanner::TBanner(QWidget* parent) : QFrame(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setFrameShape(QFrame::NoFrame);
    setFixedHeight(64);

    m_pLayout = new QHBoxLayout(this);
    m_pLayout->setContentsMargins(12, 6, 12, 6);
    auto* logo = new QLabel(this);
    logo->setPixmap(AppIcon().pixmap(48, 48));
    logo->setFixedSize(48, 48);
    m_pLayout->addWidget(logo);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_pTitle = new QLabel(this);
    QFont f = m_pTitle->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    m_pTitle->setFont(f);
    m_pText = new QLabel(this);
    m_pText->setWordWrap(true);
    texts->addWidget(m_pTitle);
    texts->addWidget(m_pText);
    m_pLayout->addLayout(texts, 1);
}

void TBanner::SetTitle(const QString& title) { m_pTitle->setText(title); }
void TBanner::SetText(const QString& text) { m_pText->setText(text); }
QString TBanner::Text() const { return m_pText->text(); }
void TBanner::AddRightWidget(QWidget* w) { m_pLayout->addWidget(w, 0, Qt::AlignVCenter); }

// The resources are linked from a static library, which Qt does not register
// by itself.
static void InitResources() { Q_INIT_RESOURCE(tarnwick); }

QIcon AppIcon()
{
    static QIcon icon;
    if (!icon.isNull())
        return icon;
    InitResources();
    QIcon fromResource(QStringLiteral(":/tarnwick/tarnwick.png"));
    if (!fromResource.availableSizes().isEmpty() || !fromResource.pixmap(48, 48).isNull()) {
        icon = fromResource;
        return icon;
    }
    // Drawn when the resource is missing: two overlapping cards, the back one
    // struck through.
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 2));
    p.setBrush(QColor(200, 215, 240));
    p.drawRoundedRect(6, 6, 36, 44, 4, 4);
    p.setBrush(QColor(80, 130, 200));
    p.drawRoundedRect(22, 16, 36, 44, 4, 4);
    icon = QIcon(pm);
    return icon;
}

static GuiMessageResponder& Responder()
{
    static GuiMessageResponder responder;
    return responder;
}

void SetGuiMessageResponder(GuiMessageResponder responder) { Responder() = std::move(responder); }

QMessageBox::StandardButton GuiMessage(QWidget* parent, const QString& title, const QString& text,
                                       QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    if (Responder())
        return Responder()(GuiMessageInfo{parent, title, text, icon, buttons});
    QMessageBox box(icon, title, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

bool GuiShellOpen(QWidget* parent, const std::string& winPath, const QString& what)
{
    if (plat::ShellOpen(winPath))
        return true;
    // xdg-open is missing (or cannot run): nothing would happen at all, so
    // the user is told where the file is.
    GuiMessage(parent, QStringLiteral("Tarnwick"),
               QStringLiteral("No program to open %1 could be started (xdg-open, of the xdg-utils package, is "
                              "needed).\n\nYou can open it yourself; it is here:\n%2")
                   .arg(what, QString::fromStdString(plat::ToHostPath(winPath))),
               QMessageBox::Warning);
    return false;
}

static GuiFolderChooser& FolderChooser()
{
    static GuiFolderChooser chooser;
    return chooser;
}

void SetGuiFolderChooser(GuiFolderChooser chooser) { FolderChooser() = std::move(chooser); }

QString GuiChooseFolder(QWidget* parent, const QString& caption, const QString& start)
{
    if (FolderChooser())
        return FolderChooser()(parent, caption, start);
    return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
}

static GuiSaveFileChooser& SaveFileChooser()
{
    static GuiSaveFileChooser chooser;
    return chooser;
}

void SetGuiSaveFileChooser(GuiSaveFileChooser chooser) { SaveFileChooser() = std::move(chooser); }

QString GuiChooseSaveFile(QWidget* parent, const QString& caption, const QString& start, const QString& filters,
                          QString* chosenFilter)
{
    if (SaveFileChooser())
        return SaveFileChooser()(parent, caption, start, filters, chosenFilter);
    return QFileDialog::getSaveFileName(parent, caption, start, filters, chosenFilter);
}

static GuiUrlOpener& UrlOpener()
{
    static GuiUrlOpener opener;
    return opener;
}

void SetGuiUrlOpener(GuiUrlOpener opener) { UrlOpener() = std::move(opener); }

bool GuiOpenUrl(const QUrl& url)
{
    if (UrlOpener())
        return UrlOpener()(url);
    return QDesktopServices::openUrl(url);
}

QMessageBox::StandardButton GuiAsk(const GuiMessageInfo& info)
{
    if (Responder())
        return Responder()(info);
    QMessageBox box(info.Icon, info.Title, info.Text, info.Buttons, info.Parent);
    for (const auto& t : info.Texts)
        if (QAbstractButton* b = box.button(t.first))
            b->setText(t.second);
    if (info.Default != QMessageBox::NoButton)
        box.setDefaultButton(info.Default);
    if (info.Buttons & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (info.Buttons & QMessageBox::No)
        box.setEscapeButton(QMessageBox::No);
    return QMessageBox::StandardButton(box.exec());
}

static GuiDialogHook& DialogHook()
{
    static GuiDialogHook hook;
    return hook;
}

void SetGuiDialogHook(GuiDialogHook hook) { DialogHook() = std::move(hook); }

int ExecDialog(QDialog* dialog)
{
    if (DialogHook())
        return DialogHook()(dialog);
    return dialog->exec();
}

void InstallPlatformMessageHook()
{
    plat::SetMessageHook([](const std::string& title, const std::string& text, plat::MsgIcon icon) {
        QMessageBox::Icon qicon = QMessageBox::NoIcon;
        switch (icon) {
        case plat::MsgIcon::Error: qicon = QMessageBox::Critical; break;
        case plat::MsgIcon::Warning: qicon = QMessageBox::Warning; break;
        case plat::MsgIcon::Information: qicon = QMessageBox::Information; break;
        case plat::MsgIcon::Question: qicon = QMessageBox::Question; break;
        case plat::MsgIcon::None: break;
        }
        GuiMessage(QApplication::activeWindow(), AnsiText(title), AnsiText(text), qicon);
    });
}
