// The interface of the wizard's three pages: an enter action, run before the
// page is shown, and a leave action, run before the next page is entered,
// which may refuse the change.
#pragma once

#include <QWidget>

class TfmMain;

class TfmPage : public QWidget {
    Q_OBJECT
public:
    TfmPage(TfmMain* main, QWidget* parent) : QWidget(parent), m_pMain(main) {}

    /// Prepares the page to be shown; true to go on.
    virtual bool Enter() = 0;
    /// Finishes the page's work before another page is entered; false keeps
    /// the wizard on this page.
    virtual bool Leave() = 0;
    /// Runs once the page is shown (after the enter action), for what the
    /// user should see over the page rather than over the one before.
    virtual void Shown() {}

protected:
    TfmMain* m_pMain;
};
