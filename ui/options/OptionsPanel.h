#pragma once

#include "options/OptionsControls.h"

#include <QGroupBox>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;

// The Options panel (GroupBox1) with its controls at their places relative
// to the panel. It stands on the main window at 104, 112 and is hidden until
// the Options button shows it. The panel wires what belongs to its controls
// alone (the "Enable" box enables the interval box; the text box's Copy and
// Paste menu); the commands that touch the store, the timer or the run-time
// values leave it as signals.
class OptionsPanel : public QGroupBox, public OptionsControls {
    Q_OBJECT

public:
    explicit OptionsPanel(QWidget* parent = nullptr);

    OptionValues ShownOptions() const override;
    void ShowOptions(const OptionValues& values) override;
    void SetFilterTextEnabled(bool enabled) override;

    // The controls the window and the synchro timer read one by one, set as
    // the program sets them. Radio-group indexes are 0 or 1, or -1 for no
    // item chosen (any index outside the items chooses none).
    int SynchroModeIndex() const;
    void SetSynchroModeIndex(int index);
    int FileTypeIndex() const;
    void SetFileTypeIndex(int index);
    // "Enable" (CheckBox1): set by the program, it still enables the
    // interval box with it.
    bool TimerBoxChecked() const;
    void SetTimerBoxChecked(bool checked);
    // The interval box (ComboBox1): the chosen entry, -1 for none (the box
    // then shows "Interval"). Choosing by program does not count as a change.
    int IntervalIndex() const;
    void SetIntervalIndex(int index);
    int TimerActionIndex() const;
    void SetTimerActionIndex(int index);
    bool TrayChecked() const;
    bool AutostartChecked() const;
    void SetAutostartChecked(bool checked);

public slots:
    // The text box's menu: copy its selected text, paste over its selection.
    void Copy1Click();
    void Paste1Click();

protected:
    void changeEvent(QEvent* event) override;

signals:
    void SaveClicked();  // "  Save" (BitBtn8)
    void HideClicked();  // "  Hide" (BitBtn9)
    void CheckBox3Clicked();  // the user clicked the filter box
    void CheckBox5Clicked();  // the user clicked "Autostart"
    // "Enable" (CheckBox1) changed, by the user or by the program; the
    // interval box already follows it.
    void CheckBox1Toggled(bool checked);
    // The user changed the interval box (chose an entry or edited its text).
    void IntervalChanged();
    // The interval box's list closed.
    void IntervalListClosed();

private:
    QButtonGroup* m_radioGroup1 = nullptr;
    QButtonGroup* m_radioGroup2 = nullptr;
    QButtonGroup* m_radioGroup3 = nullptr;
    QCheckBox* m_checkBox1 = nullptr;
    QCheckBox* m_checkBox2 = nullptr;
    QCheckBox* m_checkBox3 = nullptr;
    QCheckBox* m_checkBox4 = nullptr;
    QCheckBox* m_checkBox5 = nullptr;
    QCheckBox* m_checkBox6 = nullptr;  // "Keep replaced files in the Trash"
    QCheckBox* m_checkBox7 = nullptr;  // "Run on change"
    QLineEdit* m_edit2 = nullptr;
    QComboBox* m_comboBox1 = nullptr;
    QPushButton* m_bitBtn8 = nullptr;
    QPushButton* m_bitBtn9 = nullptr;
    QMenu* m_popupMenu3 = nullptr;
};
