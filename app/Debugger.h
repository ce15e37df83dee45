// TfmDebug: the debug-log options dialog. Switches the troubleshooting log
// on or off, sets how much it records, and shows where it is. OK applies the
// choice to the running log at once and keeps it in the option set, which
// reaches the settings file when the program ends; Cancel changes nothing.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class TBanner;
class TDebugLogBox;

class TfmDebug : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 558;
    static constexpr int kClientHeight = 395;

    /// Fills the log location, the switch and the level from the option set.
    explicit TfmDebug(QWidget* parent = nullptr);

    /// The level list's item for a stored LogLevel (0, 1, else 2) and the
    /// LogLevel an item stands for (0, 1, else 3: the "Low" item records
    /// every level).
    static int LevelItem(int32_t logLevel);
    static int32_t ItemLevel(int item);

public slots:
    void btnOKClick();

private:
    TBanner* m_pBanner;
    QCheckBox* cbEnable;
    QComboBox* cbxLevel;
    TDebugLogBox* m_pLogBox;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
