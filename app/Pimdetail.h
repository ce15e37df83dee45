// TfmPimDetail: what the four record viewers share. A fixed-size dialog with
// a white banner (the application's picture, a line of text and the Close
// button) above a tab control, and the helpers the viewers build their pages
// and show their records with.
//
// A viewer shows the record behind a row of the review page as its
// generation stores it, read from the record's native copy. Its fields can be
// changed, but nothing is ever written back: the window only shows.
#pragma once

#include <QDialog>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QTreeWidget;
class PmExText;
template <size_t N>
struct FixedText;

class TfmPimDetail : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 634;
    static constexpr int kClientHeight = 474;

    /// The application a viewer shows, for the banner's picture.
    enum class App { Contact, Calendar, Task, Note };

    /// One row of a "Misc Fields" list: field name and content.
    using MiscRow = std::pair<QString, QString>;

    /// A record's native copy as the facade's wrapper `Source`: a byte copy
    /// of it, accepted only when the copy has exactly the wrapper's size.
    /// False (and `out` zeroed) for a record without one.
    template <typename Source>
    static bool NativeSource(const void* copy, int32_t size, Source* out)
    {
        std::memset(static_cast<void*>(out), 0, sizeof(Source));
        if (!copy || size != int32_t(sizeof(Source)))
            return false;
        std::memcpy(static_cast<void*>(out), copy, sizeof(Source));
        return true;
    }

    // Texts of the generation records (ANSI) as shown: each ends at its
    // first zero byte and never reads past its array.
    static QString Ansi(const std::string& text);
    static QString Ansi(const PmExText& text);
    template <size_t N>
    static QString Ansi(const char (&text)[N])
    {
        return AnsiView(std::string_view(text, strnlen(text, N)));
    }
    /// A text of a 6.x record: the stored text in UTF-8 (only the 6.x
    /// records hold FixedText fields), shown whatever the code page.
    template <size_t N>
    static QString Ansi(const FixedText<N>& text)
    {
        return Utf8View(text.View());
    }
    /// A note as a text box shows it: CR LF line ends become line feeds.
    static QString NoteText(const QString& text);

    /// The category name a facade gives for a record: UTF-8 when the facade
    /// loaded a 6.x database (`utf8`), ANSI otherwise.
    static QString CategoryText(const std::string& name, bool utf8);

    /// "MM/DD/YYYY" and "hh:mm:ss" of a Palm time value in local time;
    /// empty for a value that has no calendar date (negative values).
    static QString DateText(int32_t seconds);
    static QString TimeText(int32_t seconds);

    /// Shows or hides a page of a tab control; when the current page is
    /// hidden, the first page still shown becomes current.
    static void SetTabShown(QTabWidget* tabs, QWidget* page, bool shown);
    /// Replaces the rows of a "Misc Fields" list.
    static void SetMiscRows(QTreeWidget* list, const std::vector<MiscRow>& rows);

protected:
    TfmPimDetail(QWidget* parent, App app, const QString& caption, const QString& bannerText);

    /// Adds a page to a tab control (the viewer's own when none is given).
    QWidget* AddPage(const QString& caption, const char* name, QTabWidget* tabs = nullptr);
    /// A grid for the fields of a page, with the margins the viewers share.
    static QGridLayout* PageGrid(QWidget* page);
    /// A caption and a text box in two cells of a grid row; the caption's
    /// label goes to *label when asked for.
    static QLineEdit* AddEdit(QGridLayout* grid, int row, int column, const QString& caption, const char* name,
                              QLabel** label = nullptr);
    static QCheckBox* AddCheck(QGridLayout* grid, int row, int column, const QString& caption, const char* name);
    /// A page holding nothing but a multi-line note box `memNotes`.
    QPlainTextEdit* AddNotesPage(const QString& caption);
    /// A page holding nothing but the "Misc Fields" list `lvMisc`.
    QTreeWidget* AddMiscPage(const QString& caption, QWidget** page);
    /// Check boxes and radio buttons that show a value: the user cannot
    /// change them, and they keep their normal look.
    static void ShowOnly(QAbstractButton* button);

    QTabWidget* Tabs() const { return pcDetail; }

    /// Every text box shows its text from the start: setText leaves the
    /// cursor at the end, which scrolls a long text to its tail.
    void showEvent(QShowEvent* event) override;

private:
    QFrame* pnlBanner;
    QLabel* imgApp;
    QLabel* lblBanner;
    QPushButton* btnClose;
    QTabWidget* pcDetail;
    static QString AnsiView(std::string_view text);
    static QString Utf8View(std::string_view text);
};
