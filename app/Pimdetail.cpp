#include "Pimdetail.h"

#include "GuiUtil.h"

#include "palm/PalmComm.h"
#include "palm/PalmSG.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPictureSize = 48;

/// The banner picture of an application, drawn so that it needs no files.
QPixmap AppPicture(TfmPimDetail::App app)
{
    QPixmap pm(kPictureSize * 2, kPictureSize * 2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);  // drawn on a 48 x 48 grid, kept sharp on dense screens
    const QColor ink(40, 70, 120);
    p.setPen(QPen(ink, 1.5));
    switch (app) {
    case TfmPimDetail::App::Contact: {
        p.setBrush(QColor(225, 234, 248));
        p.drawRoundedRect(QRectF(4, 8, 40, 32), 4, 4);
        p.setBrush(QColor(80, 130, 200));
        p.drawEllipse(QRectF(10, 14, 12, 12));
        QPainterPath body;
        body.moveTo(8, 36);
        body.cubicTo(8, 26, 24, 26, 24, 36);
        body.closeSubpath();
        p.drawPath(body);
        p.setPen(QPen(ink, 2));
        for (int y : {18, 24, 30})
            p.drawLine(QLineF(28, y, 39, y));
        break;
    }
    case TfmPimDetail::App::Calendar: {
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(5, 7, 38, 36), 3, 3);
        p.setBrush(QColor(200, 60, 50));
        p.drawRect(QRectF(5, 7, 38, 9));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(80, 130, 200));
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                p.drawRect(QRectF(9 + col * 8.5, 20 + row * 7.5, 5, 4.5));
        break;
    }
    case TfmPimDetail::App::Task: {
        p.setBrush(QColor(245, 240, 225));
        p.drawRoundedRect(QRectF(8, 6, 32, 38), 3, 3);
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(17, 3, 14, 6), 2, 2);
        for (int i = 0; i < 3; ++i) {
            qreal y = 14 + i * 9;
            p.setPen(QPen(ink, 1.2));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(12, y, 6, 6));
            if (i < 2) {
                p.setPen(QPen(QColor(40, 150, 70), 2));
                p.drawLine(QLineF(13, y + 3, 15, y + 5.5));
                p.drawLine(QLineF(15, y + 5.5, 19, y - 1));
            }
            p.setPen(QPen(ink, 2));
            p.drawLine(QLineF(22, y + 3, 35, y + 3));
        }
        break;
    }
    case TfmPimDetail::App::Note: {
        QPainterPath sheet;
        sheet.moveTo(8, 5);
        sheet.lineTo(40, 5);
        sheet.lineTo(40, 34);
        sheet.lineTo(30, 44);
        sheet.lineTo(8, 44);
        sheet.closeSubpath();
        p.setBrush(QColor(255, 236, 140));
        p.drawPath(sheet);
        p.setBrush(QColor(230, 200, 90));
        QPainterPath fold;
        fold.moveTo(40, 34);
        fold.lineTo(30, 34);
        fold.lineTo(30, 44);
        fold.closeSubpath();
        p.drawPath(fold);
        p.setPen(QPen(QColor(150, 120, 40), 1.5));
        for (int y : {14, 21, 28})
            p.drawLine(QLineF(13, y, 35, y));
        p.drawLine(QLineF(13, 35, 26, 35));
        break;
    }
    }
    p.end();
    pm.setDevicePixelRatio(2);
    return pm;
}

}  // namespace

TfmPimDetail::TfmPimDetail(QWidget* parent, App app, const QString& caption, const QString& bannerText)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setWindowIcon(AppIcon());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    pnlBanner = new QFrame(this);
    pnlBanner->setObjectName(QStringLiteral("pnlBanner"));
    pnlBanner->setAutoFillBackground(true);
    QPalette pal = pnlBanner->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    pnlBanner->setPalette(pal);
    pnlBanner->setFixedHeight(64);
    auto* banner = new QHBoxLayout(pnlBanner);
    banner->setContentsMargins(12, 8, 12, 8);
    banner->setSpacing(12);
    imgApp = new QLabel(pnlBanner);
    imgApp->setObjectName(QStringLiteral("imgApp"));
    imgApp->setFixedSize(kPictureSize, kPictureSize);
    imgApp->setPixmap(AppPicture(app));
    lblBanner = new QLabel(bannerText, pnlBanner);
    lblBanner->setObjectName(QStringLiteral("lblBanner"));
    QFont bannerFont = lblBanner->font();
    bannerFont.setBold(true);
    lblBanner->setFont(bannerFont);
    btnClose = new QPushButton(QStringLiteral("&Close"), pnlBanner);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setMinimumWidth(88);
    btnClose->setDefault(true);
    banner->addWidget(imgApp);
    banner->addWidget(lblBanner, 1);
    banner->addWidget(btnClose);
    outer->addWidget(pnlBanner);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 10, 12, 12);
    outer->addLayout(body, 1);
    pcDetail = new QTabWidget(this);
    pcDetail->setObjectName(QStringLiteral("pcDetail"));
    body->addWidget(pcDetail);

    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    SetFixedClientSize(this, kClientWidth, kClientHeight);
}

QString TfmPimDetail::AnsiView(std::string_view text)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    return AnsiText(text);
}

QString TfmPimDetail::Utf8View(std::string_view text)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    return RecordText(text, true);
}

QString TfmPimDetail::CategoryText(const std::string& name, bool utf8) { return RecordText(name, utf8); }

QString TfmPimDetail::Ansi(const std::string& text) { return AnsiView(text); }

QString TfmPimDetail::Ansi(const PmExText& text) { return AnsiView(std::string_view(text.c_str(), text.size())); }

QString TfmPimDetail::NoteText(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

QString TfmPimDetail::DateText(int32_t seconds)
{
    PmTime t;
    t.Set(seconds);
    char buf[32];
    if (!t.Breakdown(nullptr) || !t.DateText(buf, sizeof buf))
        return QString();
    return QString::fromLatin1(buf);
}

QString TfmPimDetail::TimeText(int32_t seconds)
{
    PmTime t;
    t.Set(seconds);
    char buf[32];
    if (!t.Breakdown(nullptr) || !t.TimeText(buf, sizeof buf))
        return QString();
    return QString::fromLatin1(buf);
}

void TfmPimDetail::SetTabShown(QTabWidget* tabs, QWidget* page, bool shown)
{
    int index = tabs->indexOf(page);
    if (index < 0)
        return;
    tabs->setTabVisible(index, shown);
    if (!shown && tabs->currentIndex() == index) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabVisible(i)) {
                tabs->setCurrentIndex(i);
                break;
            }
    }
}

void TfmPimDetail::SetMiscRows(QTreeWidget* list, const std::vector<MiscRow>& rows)
{
    list->clear();
    for (const MiscRow& row : rows)
        new QTreeWidgetItem(list, QStringList{row.first, row.second});
}

QWidget* TfmPimDetail::AddPage(const QString& caption, const char* name, QTabWidget* tabs)
{
    if (!tabs)
        tabs = pcDetail;
    auto* page = new QWidget(tabs);
    page->setObjectName(QLatin1String(name));
    tabs->addTab(page, caption);
    return page;
}

QGridLayout* TfmPimDetail::PageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(14, 14, 14, 14);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    return grid;
}

QLineEdit* TfmPimDetail::AddEdit(QGridLayout* grid, int row, int column, const QString& caption, const char* name,
                                 QLabel** label)
{
    QWidget* owner = grid->parentWidget();
    auto* l = new QLabel(caption, owner);
    auto* edit = new QLineEdit(owner);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    l->setBuddy(edit);
    grid->addWidget(l, row, column);
    grid->addWidget(edit, row, column + 1);
    if (label)
        *label = l;
    return edit;
}

QCheckBox* TfmPimDetail::AddCheck(QGridLayout* grid, int row, int column, const QString& caption, const char* name)
{
    auto* box = new QCheckBox(caption, grid->parentWidget());
    box->setObjectName(QLatin1String(name));
    ShowOnly(box);
    grid->addWidget(box, row, column);
    return box;
}

QPlainTextEdit* TfmPimDetail::AddNotesPage(const QString& caption)
{
    QWidget* page = AddPage(caption, "tsNotes");
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* memo = new QPlainTextEdit(page);
    memo->setObjectName(QStringLiteral("memNotes"));
    memo->setReadOnly(true);
    layout->addWidget(memo);
    return memo;
}

QTreeWidget* TfmPimDetail::AddMiscPage(const QString& caption, QWidget** page)
{
    *page = AddPage(caption, "tsMisc");
    auto* layout = new QVBoxLayout(*page);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* list = new QTreeWidget(*page);
    list->setObjectName(QStringLiteral("lvMisc"));
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Field Name"), QStringLiteral("Field Content")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->resizeSection(0, 180);
    list->header()->setStretchLastSection(true);
    layout->addWidget(list);
    return list;
}

void TfmPimDetail::ShowOnly(QAbstractButton* button)
{
    button->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    button->setFocusPolicy(Qt::NoFocus);
}

void TfmPimDetail::showEvent(QShowEvent* event)
{
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setCursorPosition(0);
    QDialog::showEvent(event);
}
