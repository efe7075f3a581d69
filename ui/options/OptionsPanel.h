#pragma once

#include "options/OptionsControls.h"

#include <QGroupBox>

class OptionsLogic;
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

    // Runs the logic's CheckBox3Click and CheckBox5Click when the user
    // clicks those boxes. The logic must outlive the panel's use.
    void ConnectLogic(OptionsLogic& logic);

    int SynchroModeIndex() const override;
    void SetSynchroModeIndex(int index) override;
    int FileTypeIndex() const override;
    void SetFileTypeIndex(int index) override;
    bool FilterChecked() const override;
    void SetFilterChecked(bool checked) override;
    std::string FilterText() const override;
    void SetFilterText(const std::string& text) override;
    void SetFilterTextEnabled(bool enabled) override;
    bool TimerBoxChecked() const override;
    void SetTimerBoxChecked(bool checked) override;
    int IntervalIndex() const override;
    void SetIntervalIndex(int index) override;
    int TimerActionIndex() const override;
    void SetTimerActionIndex(int index) override;
    bool TrayChecked() const override;
    void SetTrayChecked(bool checked) override;
    bool AutostartChecked() const override;
    void SetAutostartChecked(bool checked) override;
    bool SilentChecked() const override;
    void SetSilentChecked(bool checked) override;

public slots:
    // The text box's menu: copy its selected text, paste over its selection.
    void Copy1Click();
    void Paste1Click();

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
    QLineEdit* m_edit2 = nullptr;
    QComboBox* m_comboBox1 = nullptr;
    QPushButton* m_bitBtn8 = nullptr;
    QPushButton* m_bitBtn9 = nullptr;
    QMenu* m_popupMenu3 = nullptr;
};
