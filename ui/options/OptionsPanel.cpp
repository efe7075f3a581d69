#include "ui/options/OptionsPanel.h"

#include "options/TimerIntervals.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <algorithm>
#include <functional>
#include <initializer_list>

namespace {

// Text line height of the window's font; radio items are laid out from it.
constexpr int kLineHeight = 13;
constexpr QSize kButtonPictureSize(21, 21);

// The interval box, telling when its list closes: by a choice, Escape or a
// click elsewhere. Qt also calls hidePopup() whenever the box itself is
// hidden (Save, Hide, a minimize); with the list closed that closes nothing
// and must not reset the timer, so the list's own window is watched instead.
class IntervalComboBox : public QComboBox {
public:
    explicit IntervalComboBox(QWidget* parent) : QComboBox(parent) { view()->window()->installEventFilter(this); }
    std::function<void()> onListClosed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched == view()->window() && onListClosed)
            onListClosed();
        return QComboBox::eventFilter(watched, event);
    }
};

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        const QRect& geometry)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(hint);
    box->setGeometry(geometry);
    return box;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                     const QRect& geometry)
{
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setToolTip(hint);
    frame->setGeometry(geometry);
    return frame;
}

// Stacks a radio group's items in one column that shares the height under
// the caption as the style draws it at the frame's font, but never starts
// above the classic line-height margin.
void PlaceRadioItems(const QButtonGroup* group)
{
    const auto* frame = static_cast<const QGroupBox*>(group->parent());
    const int count = static_cast<int>(group->buttons().size());
    const int captionBottom = std::max(kLineHeight + 1, frame->contentsRect().top());
    const int free = frame->height() - captionBottom - 4;
    const int itemHeight = free / count;
    const int top = captionBottom + (free % count) / 2;
    for (int id = 0; id < count; ++id)
        group->button(id)->setGeometry(8, top + id * itemHeight, frame->width() - 10, itemHeight);
}

// A radio group: a frame with one radio button per item, first item chosen.
QButtonGroup* MakeRadioGroup(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                             const QRect& geometry, std::initializer_list<QString> items)
{
    QGroupBox* frame = MakeFrame(parent, name, caption, hint, geometry);
    auto* group = new QButtonGroup(frame);
    int id = 0;
    for (const QString& item : items) {
        auto* button = new QRadioButton(item, frame);
        button->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(id));
        group->addButton(button, id);
        ++id;
    }
    PlaceRadioItems(group);
    group->button(0)->setChecked(true);
    return group;
}

int CheckedIndex(const QButtonGroup* group)
{
    return group->checkedId();
}

// Any index outside the items chooses none.
void SetCheckedIndex(QButtonGroup* group, int index)
{
    if (group->checkedId() == index)
        return;
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

OptionsPanel::OptionsPanel(QWidget* parent) : QGroupBox(QStringLiteral("Options"), parent)
{
    setObjectName(QStringLiteral("GroupBox1"));
    setGeometry(104, 112, 481, 305);
    // A group box draws only its frame and caption; the panel lies over the
    // lists and buttons and must hide them, in the window's button face.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // Created in this order so that later controls lie on top of earlier
    // ones: the filter box and its text box sit on the "Extension Filter"
    // frame without belonging to it.
    MakeFrame(this, "GroupBox3", QStringLiteral("Extension Filter"), tr("Filter by extension"),
              QRect(32, 168, 193, 49));
    m_checkBox3 = MakeCheckBox(this, "CheckBox3", QStringLiteral("Enabled"), tr("Enable"), QRect(40, 184, 105, 25));

    m_bitBtn8 = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("  Save"), this);
    m_bitBtn8->setObjectName(QStringLiteral("BitBtn8"));
    m_bitBtn8->setToolTip(tr("Save the options"));
    m_bitBtn8->setGeometry(256, 240, 83, 33);
    m_bitBtn8->setIconSize(kButtonPictureSize);

    m_bitBtn9 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("  Hide"), this);
    m_bitBtn9->setObjectName(QStringLiteral("BitBtn9"));
    m_bitBtn9->setToolTip(tr("Hide"));
    m_bitBtn9->setGeometry(368, 240, 81, 33);
    m_bitBtn9->setIconSize(kButtonPictureSize);

    m_radioGroup1 = MakeRadioGroup(this, "RadioGroup1", QStringLiteral("Synchro mode"),
                                   tr("Synchronization of files/folders"), QRect(32, 24, 193, 57),
                                   {QStringLiteral("Files Synchro mode"), QStringLiteral("Folders Synchro mode")});
    m_radioGroup2 = MakeRadioGroup(this, "RadioGroup2", QStringLiteral("File Type"), tr("File type (archive/all)"),
                                   QRect(32, 96, 193, 57),
                                   {QStringLiteral("Archive Files only"), QStringLiteral("All Files")});

    m_edit2 = new QLineEdit(this);
    m_edit2->setObjectName(QStringLiteral("Edit2"));
    m_edit2->setGeometry(128, 184, 81, 21);
    m_edit2->setContextMenuPolicy(Qt::CustomContextMenu);
    m_popupMenu3 = new QMenu(this);
    m_popupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    QAction* copy1 = m_popupMenu3->addAction(QStringLiteral("Copy"), this, &OptionsPanel::Copy1Click);
    copy1->setObjectName(QStringLiteral("Copy1"));
    QAction* paste1 = m_popupMenu3->addAction(QStringLiteral("Paste"), this, &OptionsPanel::Paste1Click);
    paste1->setObjectName(QStringLiteral("Paste1"));
    connect(m_edit2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popupMenu3->popup(m_edit2->mapToGlobal(at)); });
    SetFilterTextEnabled(false);

    QGroupBox* groupBox2 = MakeFrame(this, "GroupBox2", QStringLiteral("Synchro Timer"), tr("Synchronization timer"),
                                     QRect(256, 24, 193, 193));
    auto* comboBox1 = new IntervalComboBox(groupBox2);
    m_comboBox1 = comboBox1;
    m_comboBox1->setObjectName(QStringLiteral("ComboBox1"));
    m_comboBox1->setToolTip(tr("Interval"));
    m_comboBox1->setGeometry(96, 32, 81, 21);
    m_comboBox1->setEditable(true);
    m_comboBox1->setInsertPolicy(QComboBox::NoInsert);
    m_comboBox1->setMaxVisibleItems(TimerIntervals::kCount);
    for (const char* caption : TimerIntervals::kCaptions)
        m_comboBox1->addItem(QString::fromUtf8(caption));
    SetIntervalIndex(-1);
    m_comboBox1->setEnabled(false);
    comboBox1->onListClosed = [this] { emit IntervalListClosed(); };
    connect(m_comboBox1, &QComboBox::activated, this, [this] { emit IntervalChanged(); });
    connect(m_comboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { emit IntervalChanged(); });

    m_radioGroup3 = MakeRadioGroup(groupBox2, "RadioGroup3", QStringLiteral("Action"),
                                   tr("Synchronize all/only the selected"), QRect(16, 72, 161, 57),
                                   {QStringLiteral("Synchro All"), QStringLiteral("Synchro Selected")});
    m_checkBox1 = MakeCheckBox(groupBox2, "CheckBox1", QStringLiteral("Enable"), tr("Enable"), QRect(24, 32, 65, 17));
    m_checkBox4 = MakeCheckBox(groupBox2, "CheckBox4", QStringLiteral("Tray Mode"), tr("Into the notification area"),
                               QRect(24, 160, 73, 17));
    m_checkBox5 = MakeCheckBox(groupBox2, "CheckBox5", QStringLiteral("Autostart"), tr("Start at log-on"),
                               QRect(104, 160, 73, 17));
    // Not of the original layout either: the free row between Action and
    // Tray Mode.
    m_checkBox7 = MakeCheckBox(groupBox2, "CheckBox7", QStringLiteral("Run on change"),
                               tr("Synchronize when files in the listed folders change"), QRect(24, 136, 153, 17));

    QGroupBox* groupBox4 = MakeFrame(this, "GroupBox4", QStringLiteral("Silent Mode"), tr("Without asking"),
                                     QRect(32, 232, 193, 49));
    m_checkBox2 = MakeCheckBox(groupBox4, "CheckBox2", QStringLiteral("Enabled"), tr("Enable"), QRect(8, 16, 81, 17));
    m_checkBox2->setChecked(true);

    // Not of the original layout: placed in the free corner under the two
    // buttons, so that every other control keeps its place.
    m_checkBox6 = MakeCheckBox(this, "CheckBox6", QStringLiteral("Keep replaced files in the Trash"),
                               tr("Keep replaced files in the Trash"), QRect(256, 280, 217, 17));

    // The "Enable" box's own behaviour, also when the program sets it.
    connect(m_checkBox1, &QCheckBox::toggled, this, [this](bool checked) {
        m_comboBox1->setEnabled(checked);
        emit CheckBox1Toggled(checked);
    });
    connect(m_checkBox3, &QCheckBox::clicked, this, &OptionsPanel::CheckBox3Clicked);
    connect(m_checkBox5, &QCheckBox::clicked, this, &OptionsPanel::CheckBox5Clicked);
    connect(m_bitBtn8, &QPushButton::clicked, this, &OptionsPanel::SaveClicked);
    connect(m_bitBtn9, &QPushButton::clicked, this, &OptionsPanel::HideClicked);

    // Tab order: the panel's own controls, then each frame's controls at the
    // frame's place in the panel's order ("Run on change", added later,
    // last in its frame); the Trash box, added later, last.
    const std::initializer_list<QWidget*> tabOrder = {m_checkBox3,
                                                      m_bitBtn8,
                                                      m_bitBtn9,
                                                      m_radioGroup1->button(0),
                                                      m_radioGroup1->button(1),
                                                      m_radioGroup2->button(0),
                                                      m_radioGroup2->button(1),
                                                      m_edit2,
                                                      m_comboBox1,
                                                      m_radioGroup3->button(0),
                                                      m_radioGroup3->button(1),
                                                      m_checkBox1,
                                                      m_checkBox4,
                                                      m_checkBox5,
                                                      m_checkBox7,
                                                      m_checkBox2,
                                                      m_checkBox6};
    QWidget* previous = nullptr;
    for (QWidget* widget : tabOrder) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }

    hide();
}

void OptionsPanel::changeEvent(QEvent* event)
{
    QGroupBox::changeEvent(event);
    // The window gives the panel its font after the panel is made; its
    // frames' captions then take another height.
    if (event->type() == QEvent::FontChange) {
        for (const QButtonGroup* group : {m_radioGroup1, m_radioGroup2, m_radioGroup3}) {
            if (group)  // not yet made while the panel is made
                PlaceRadioItems(group);
        }
    }
}

OptionValues OptionsPanel::ShownOptions() const
{
    OptionValues values;
    values.SynchroMode = SynchroModeIndex();
    values.FileType = FileTypeIndex();
    values.Filter = m_checkBox3->isChecked() ? 1 : 0;
    values.Ext = m_edit2->text().toStdString();
    values.Timer = TimerBoxChecked() ? 1 : 0;
    values.TimerInterval = TimerIntervals::IntervalForIndex(IntervalIndex());
    values.TimerAction = TimerActionIndex();
    values.SilentMode = m_checkBox2->isChecked() ? 1 : 0;
    values.TrayMode = TrayChecked() ? 1 : 0;
    values.Autostart = AutostartChecked() ? 1 : 0;
    values.KeepReplaced = m_checkBox6->isChecked() ? 1 : 0;
    values.RunOnChange = m_checkBox7->isChecked() ? 1 : 0;
    return values;
}

void OptionsPanel::ShowOptions(const OptionValues& values)
{
    // Only what differs changes, so that the text boxes keep their cursor
    // and what was typed into them.
    SetSynchroModeIndex(values.SynchroMode);
    SetFileTypeIndex(values.FileType);
    m_checkBox3->setChecked(values.Filter != 0);
    if (const QString ext = QString::fromStdString(values.Ext); m_edit2->text() != ext)
        m_edit2->setText(ext);
    SetTimerBoxChecked(values.Timer != 0);
    if (const int index = TimerIntervals::IndexForInterval(values.TimerInterval);
        index >= 0 && index != IntervalIndex())
        SetIntervalIndex(index);
    SetTimerActionIndex(values.TimerAction);
    m_checkBox2->setChecked(values.SilentMode != 0);
    m_checkBox4->setChecked(values.TrayMode != 0);
    m_checkBox5->setChecked(values.Autostart != 0);
    m_checkBox6->setChecked(values.KeepReplaced != 0);
    m_checkBox7->setChecked(values.RunOnChange != 0);
}

int OptionsPanel::SynchroModeIndex() const
{
    return CheckedIndex(m_radioGroup1);
}

void OptionsPanel::SetSynchroModeIndex(int index)
{
    SetCheckedIndex(m_radioGroup1, index);
}

int OptionsPanel::FileTypeIndex() const
{
    return CheckedIndex(m_radioGroup2);
}

void OptionsPanel::SetFileTypeIndex(int index)
{
    SetCheckedIndex(m_radioGroup2, index);
}

void OptionsPanel::SetFilterTextEnabled(bool enabled)
{
    m_edit2->setEnabled(enabled);
    // Window background when it takes input, button face when it does not.
    const QColor colour = palette().color(QPalette::Active, enabled ? QPalette::Base : QPalette::Button);
    QPalette editPalette = m_edit2->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        editPalette.setColor(group, QPalette::Base, colour);
    m_edit2->setPalette(editPalette);
}

bool OptionsPanel::TimerBoxChecked() const
{
    return m_checkBox1->isChecked();
}

void OptionsPanel::SetTimerBoxChecked(bool checked)
{
    m_checkBox1->setChecked(checked);
}

int OptionsPanel::IntervalIndex() const
{
    // The entry the box shows; text typed into it that is no entry chooses none.
    return m_comboBox1->findText(m_comboBox1->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void OptionsPanel::SetIntervalIndex(int index)
{
    if (index >= 0 && index < m_comboBox1->count()) {
        m_comboBox1->setCurrentIndex(index);
        return;
    }
    m_comboBox1->setCurrentIndex(-1);
    m_comboBox1->setEditText(QString::fromUtf8(TimerIntervals::kNoneCaption));
}

int OptionsPanel::TimerActionIndex() const
{
    return CheckedIndex(m_radioGroup3);
}

void OptionsPanel::SetTimerActionIndex(int index)
{
    SetCheckedIndex(m_radioGroup3, index);
}

bool OptionsPanel::TrayChecked() const
{
    return m_checkBox4->isChecked();
}

bool OptionsPanel::AutostartChecked() const
{
    return m_checkBox5->isChecked();
}

void OptionsPanel::SetAutostartChecked(bool checked)
{
    m_checkBox5->setChecked(checked);
}

void OptionsPanel::Copy1Click()
{
    m_edit2->copy();
}

void OptionsPanel::Paste1Click()
{
    m_edit2->paste();
}
