#include "ui/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "lists/ListFile.h"
#include "platform/fs/FileSystem.h"
#include "sync/ReportFile.h"
#include "ui/ClickableLabel.h"
#include "ui/ErrorReport.h"
#include "ui/FittingFont.h"
#include "ui/FolderListBox.h"
#include "ui/Gauge.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/dialogs/SelectDirectoryDialog.h"
#include "ui/options/OptionsPanel.h"

namespace {

const char* const kCaption = "Folderly 1.3       ";
constexpr int kClientWidth = 695;
constexpr int kClientHeight = 477;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint, QRect geometry,
                        const char* picture = nullptr)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    if (picture) {
        button->setIcon(QIcon(QStringLiteral(":/pictures/") + QString::fromLatin1(picture)));
        button->setIconSize(QSize(21, 21));
    }
    return button;
}

// A picture at the foot of the window; its clicks stay its own.
template <typename Label>
Label* MakePicture(QWidget* parent, const char* name, const char* picture, const QString& hint, QRect geometry)
{
    auto* label = new Label(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setPixmap(QPixmap(QStringLiteral(":/pictures/") + QString::fromLatin1(picture)));
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(hint);
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, const QString& hint, QRect geometry)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setToolTip(hint);
    // Clicks on a label must not reach the window background.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

// The controls inside a frame that Tab stops at, in the frame's order.
QList<QWidget*> TabStopsInside(QWidget* frame)
{
    QList<QWidget*> stops;
    for (QWidget* at = frame->nextInFocusChain(); at != frame; at = at->nextInFocusChain()) {
        if (frame->isAncestorOf(at) && (at->focusPolicy() & Qt::TabFocus))
            stops.push_back(at);
    }
    return stops;
}

}  // namespace

const QString TForm1::kHelpFileName = QStringLiteral("FOLDERLY_13.HLP");
const QString TForm1::kSecondHelpFileName = QStringLiteral("ALLPROGS.HLP");
const char* const TForm1::kHelpNotFound = QT_TRANSLATE_NOOP("TForm1", "Help file not found");
const QString TForm1::kNoProgramForDocument = QStringLiteral(
    "No program to open the document %1 was found. The desktop opens documents through xdg-open, "
    "of the package xdg-utils.");
const QString TForm1::kLinkCaption = QStringLiteral("© 2008  A. Brenner,  abr.example.org");
const QUrl TForm1::kAuthorAddress(QStringLiteral("https://abr.example.org/"));
const QString TForm1::kCompanyName = QStringLiteral("Tessaline Software");
const QUrl TForm1::kCompanyAddress(QStringLiteral("https://www.tessaline.example.com/"));
const QString TForm1::kSiteGroupName = QStringLiteral("Small Utilities Ring");
const QUrl TForm1::kSiteGroupAddress(QStringLiteral("https://utilities-ring.example.net/"));
const QColor TForm1::kLinkColour(0, 0, 128);
const QColor TForm1::kLinkHoverColour(128, 0, 128);

TForm1::TForm1(Program& program, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      GroupBox1(new ::OptionsPanel(this)),
      m_program(program),
      m_helpFolder(QStringLiteral(FOLDERLY_INSTALL_DATADIR)),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    // The pictures live in this static library: bring them in explicitly.
    Q_INIT_RESOURCE(folderly);
    setWindowIcon(QIcon(QStringLiteral(":/icons/folderly.png")));
    // Moves over the bare background put the link back to rest.
    setMouseTracking(true);
    CreateControls();
    // The controls were placed for a smaller font than today's desktops use.
    FittingFont::Apply(*this, QApplication::font());
    CreateTrayIcon();
    m_program.SetView(this);
    // Help in the folder dialog is the program's help.
    SelectDirectoryDialog::SetHelpHandler([form = QPointer<TForm1>(this)](int) {
        if (form)
            form->BitBtn6Click();
    });
}

TForm1::~TForm1()
{
    // The icon talks to the window while it goes, so it goes first.
    NotifyIcon1.reset();
    // Closing the window hides the panel's interval list, which reports it:
    // by then this object is no window any more.
    GroupBox1->disconnect(this);
    m_program.SetView(nullptr);
    m_program.List1().SetObserver(nullptr);
    m_program.List2().SetObserver(nullptr);
    m_program.Report().SetObserver(nullptr);
}

void TForm1::CreateControls()
{
    // Created in the window's order: later controls lie on top of earlier ones.
    Gauge1 = new Gauge(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(56, 288, 577, 25);
    Gauge1->hide();

    Label1 = MakeLabel(this, "Label1", QStringLiteral("Selected Directories / List 2"), tr("List of folders 2"),
                       QRect(376, 88, 131, 13));
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Selected Directories / List 1"), tr("List of folders 1"),
                       QRect(56, 88, 131, 13));
    Label3 = MakeLabel(this, "Label3", QStringLiteral("Report List"), tr("Report"), QRect(56, 344, 51, 13));

    Image1 = MakePicture<QLabel>(this, "Image1", "decoration.png", {}, QRect(368, 440, 25, 25));
    Image2 = MakePicture<ClickableLabel>(this, "Image2", "company.png", kCompanyName, QRect(56, 432, 41, 41));
    Image2->setCursor(Qt::PointingHandCursor);
    Image3 = MakePicture<ClickableLabel>(this, "Image3", "sitegroup.png", kSiteGroupName, QRect(96, 432, 41, 41));
    Image3->setCursor(Qt::PointingHandCursor);
    connect(Image2, &ClickableLabel::clicked, this, Guarded([this] { Image2Click(); }));
    connect(Image3, &ClickableLabel::clicked, this, Guarded([this] { Image3Click(); }));

    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("Synchronize selected"), {}, QRect(56, 432, 257, 33));
    BitBtn3->hide();
    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Synchronize all"), {}, QRect(392, 432, 241, 33));
    BitBtn4->hide();
    BitBtn11 = MakeButton(this, "BitBtn11", QStringLiteral("               Synchronize all"), tr("Synchronize all"),
                          QRect(376, 288, 257, 33), "syncall.png");
    BitBtn10 = MakeButton(this, "BitBtn10", QStringLiteral("        Synchronize selected"), tr("Synchronize selected"),
                          QRect(56, 288, 257, 33), "syncselected.png");

    ListBox1 = new FolderListBox(m_program.List1(), this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(56, 112, 257, 153);
    ListBox2 = new FolderListBox(m_program.List2(), this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setGeometry(376, 112, 257, 153);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("           Add Path to List 1"), tr("Add a folder to list 1"),
                         QRect(56, 24, 257, 33), "add.png");
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("            Add Path to List 2"),
                         tr("Add a folder to list 2"), QRect(376, 24, 257, 33), "add.png");

    // The hidden carrier of Copy Path; its first text is the root folder.
    Edit1 = new QLineEdit(QStringLiteral("/"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(320, 432, 33, 21);
    Edit1->hide();

    ListBox3 = new QListWidget(this);
    ListBox3->setObjectName(QStringLiteral("ListBox3"));
    ListBox3->setGeometry(56, 368, 577, 57);
    ListBox3->setSelectionMode(QAbstractItemView::SingleSelection);
    // The rows are drawn on the viewport, which item views paint in the
    // Base colour: that is the colour to give the button face.
    QPalette reportPalette = ListBox3->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        reportPalette.setColor(group, QPalette::Base, reportPalette.color(group, QPalette::Button));
    ListBox3->setPalette(reportPalette);
    ListBox3->setUniformItemSizes(true);
    m_program.Report().SetObserver(
        [this](const std::string& line) { ListBox3->addItem(QString::fromStdString(line)); });

    BitBtn5 = MakeButton(this, "BitBtn5", QStringLiteral(" Options"), tr("Options"), QRect(552, 64, 83, 33),
                         "options.png");
    BitBtn6 = MakeButton(this, "BitBtn6", {}, tr("Help"), QRect(232, 64, 33, 33), "help.png");
    // The panel was made first (the options need it from the start); it lies
    // over the lists and buttons made before it in the window's order.
    GroupBox1->raise();
    BitBtn7 = MakeButton(this, "BitBtn7", QStringLiteral("Save Report"), tr("Save the report"),
                         QRect(552, 328, 83, 25));
    BitBtn7->stackUnder(GroupBox1);

    StaticText1 = new ClickableLabel(this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(400, 440, 220, 17);
    StaticText1->setText(kLinkCaption);
    StaticText1->setToolTip(tr("To the author's site"));
    StaticText1->setCursor(Qt::PointingHandCursor);
    StaticText1->setMouseTracking(true);
    // On the button-face background text defaults to the button text colour;
    // the link's own colour is the one it draws with.
    StaticText1->setForegroundRole(QPalette::WindowText);
    FormMouseMove();
    connect(StaticText1, &ClickableLabel::clicked, this, Guarded([this] { StaticText1Click(); }));
    connect(StaticText1, &ClickableLabel::mouseMoved, this, [this] { StaticText1MouseMove(); });

    BitBtn12 = MakeButton(this, "BitBtn12", {}, tr("Useful little things"), QRect(280, 64, 33, 33), "tools.png");
    connect(BitBtn6, &QPushButton::clicked, this, Guarded([this] { BitBtn6Click(); }));
    connect(BitBtn12, &QPushButton::clicked, this, Guarded([this] { BitBtn12Click(); }));
    connect(GroupBox1, &OptionsPanel::CheckBox3Clicked, this, Guarded([this] { CheckBox3Click(); }));
    connect(GroupBox1, &OptionsPanel::CheckBox5Clicked, this, Guarded([this] { CheckBox5Click(); }));
    connect(GroupBox1, &OptionsPanel::SaveClicked, this, Guarded([this] { BitBtn8Click(); }));
    connect(GroupBox1, &OptionsPanel::HideClicked, this, Guarded([this] { BitBtn9Click(); }));
    connect(GroupBox1, &OptionsPanel::IntervalChanged, this, Guarded([this] { TimerSet(); }));
    connect(GroupBox1, &OptionsPanel::IntervalListClosed, this, Guarded([this] { TimerSet(); }));
    connect(BitBtn5, &QPushButton::clicked, this, Guarded([this] { BitBtn5Click(); }));
    connect(BitBtn7, &QPushButton::clicked, this, Guarded([this] { BitBtn7Click(); }));

    PopupMenu1 = CreateListMenu(
        ListBox1, QStringLiteral("PopupMenu1"), [this] { SynchroNow2Click(); }, [this] { BitBtn1Click(); },
        m_program.List1());
    PopupMenu2 = CreateListMenu(
        ListBox2, QStringLiteral("PopupMenu2"), [this] { SynchroNow1Click(); }, [this] { BitBtn2Click(); },
        m_program.List2());

    connect(BitBtn1, &QPushButton::clicked, this, Guarded([this] { BitBtn1Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, Guarded([this] { BitBtn2Click(); }));
    connect(BitBtn10, &QPushButton::clicked, this, Guarded([this] { BitBtn10Click(); }));
    connect(BitBtn11, &QPushButton::clicked, this, Guarded([this] { BitBtn11Click(); }));
    connect(BitBtn3, &QPushButton::clicked, this, Guarded([this] { BitBtn3Click(); }));
    connect(BitBtn4, &QPushButton::clicked, this, Guarded([this] { BitBtn4Click(); }));

    QWidget::setTabOrder(ListBox1, ListBox2);
    QWidget::setTabOrder(ListBox2, BitBtn1);
    QWidget::setTabOrder(BitBtn1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn3);
    QWidget::setTabOrder(BitBtn3, BitBtn4);
    QWidget::setTabOrder(BitBtn4, Edit1);
    QWidget::setTabOrder(Edit1, ListBox3);
    QWidget::setTabOrder(ListBox3, BitBtn5);
    QWidget::setTabOrder(BitBtn5, BitBtn6);
    // Tab never stops on the panel frame or on the link text, and Qt leaves
    // such widgets out of the order: the panel takes its place through its
    // own controls, in the panel's order; the link needs none.
    QWidget* previous = BitBtn6;
    for (QWidget* control : TabStopsInside(GroupBox1)) {
        QWidget::setTabOrder(previous, control);
        previous = control;
    }
    QWidget::setTabOrder(previous, BitBtn10);
    QWidget::setTabOrder(BitBtn10, BitBtn11);
    QWidget::setTabOrder(BitBtn11, BitBtn7);
    QWidget::setTabOrder(BitBtn7, BitBtn12);
}

QMenu* TForm1::CreateListMenu(FolderListBox* box, const QString& name, std::function<void()> synchroNow,
                              std::function<void()> addNew, FolderList& list)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    const bool first = &list == &m_program.List1();
    const QString n = first ? QStringLiteral("1") : QStringLiteral("2");
    const auto add = [&](const QString& caption, const QString& actionName, std::function<void()> command) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(actionName);
        connect(action, &QAction::triggered, this, Guarded(std::move(command)));
    };
    add(QStringLiteral("Synchro Now"),
        QStringLiteral("SynchroNow") + (first ? QStringLiteral("2") : QStringLiteral("1")), std::move(synchroNow));
    add(QStringLiteral("Add new"), QStringLiteral("Addnew") + n, std::move(addNew));
    add(QStringLiteral("Select all"), QStringLiteral("Selectall") + n, [this, &list] { m_program.SelectAll(list); });
    add(QStringLiteral("Deselect all"), QStringLiteral("Deselectall") + n,
        [this, &list] { m_program.DeselectAll(list); });
    add(QStringLiteral("Delete"), QStringLiteral("Delete") + n, [this, &list] { m_program.DeleteSelected(list); });
    add(QStringLiteral("Clear all"), QStringLiteral("Clearall") + n, [this, &list] { m_program.ClearList(list); });
    add(QStringLiteral("Copy Path"), QStringLiteral("CopyPath") + n, [this, &list] { CopyPath(list); });

    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this,
            [box, menu](const QPoint& at) { menu->popup(box->viewport()->mapToGlobal(at)); });
    return menu;
}

void TForm1::CreateTrayIcon()
{
    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    const auto add = [this](const QString& caption, const QString& name, std::function<void()> command) {
        QAction* action = PopupMenu4->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, Guarded(std::move(command)));
        return action;
    };
    Hide1 = add(QStringLiteral("Hide"), QStringLiteral("Hide1"), [this] { Hide1Click(); });
    Restore1 = add(QStringLiteral("Restore"), QStringLiteral("Restore1"), [this] { Restore1Click(); });
    SynchronizeNow1 = add(QStringLiteral("Synchronize Now"), QStringLiteral("SynchronizeNow1"),
                          [this] { SynchronizeNow1Click(); });
    Exit1 = add(QStringLiteral("Exit"), QStringLiteral("Exit1"), [this] { Exit1Click(); });
    PopupMenu4->setDefaultAction(Restore1);

    TNotifyIcon::SetApplicationErrorReport([](const std::exception& error) { ReportException(error); });
    TrayApplication& application = *this;
    NotifyIcon1 = std::make_unique<TNotifyIcon>(nullptr, m_notifyArea, m_trayDesktop, application);
    NotifyIcon1->BeginLoad();
    NotifyIcon1->SetDblToRestore(true);
    NotifyIcon1->SetIcon(windowIcon());
    NotifyIcon1->InfoBalloon().SetTimeout(10);
    NotifyIcon1->InfoBalloon().SetTitle(QStringLiteral("Folderly 1.3"));
    NotifyIcon1->SetMinimizeTo(true);
    NotifyIcon1->SetPopupMenu(PopupMenu4);
    NotifyIcon1->SetTitle(QStringLiteral("Folderly 1.3"));
    NotifyIcon1->SetVisible(true);
    NotifyIcon1->Loaded();

    m_balloonHandler = [this](const std::string& text, const std::string& title, TBalloonIconType icon) {
        NotifyIcon1->InfoBalloon().ShowBalloon(QString::fromStdString(text), QString::fromStdString(title), icon);
    };
}

void TForm1::KeepResponsive()
{
    // Often enough that the desktop never takes the window for hung (it
    // asks every few seconds and waits five), seldom enough to cost nothing.
    constexpr qint64 kEveryMilliseconds = 50;
    if (m_lastKeptResponsive.isValid() && m_lastKeptResponsive.elapsed() < kEveryMilliseconds)
        return;
    // The Report list lays its new lines out on a timer, which waits for
    // the end of the run like every timer: it is laid out here instead,
    // now and then, as that costs more the longer the list grows.
    constexpr qint64 kReportEveryMilliseconds = 500;
    if (ListBox3->count() != m_reportLinesLaidOut
        && (!m_reportLaidOut.isValid() || m_reportLaidOut.elapsed() >= kReportEveryMilliseconds)) {
        ListBox3->doItemsLayout();
        m_reportLinesLaidOut = ListBox3->count();
        m_reportLaidOut.start();
    }
    {
        // Paint and the desktop's pings; input, timers, sockets and the
        // commands that come anyway wait for the end of the run.
        const CommandGate::Closed commandsWait;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers
                                        | QEventLoop::X11ExcludeTimers);
    }
    m_lastKeptResponsive.start();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (CommandGate::IsClosed()) {
        // Asked to close while a run works: the window closes, its lists
        // saved, once the run is over.
        event->ignore();
        CommandGate::Pass([this] { close(); });
        return;
    }
    if (!m_closeHandler || m_closeHandler()) {
        event->accept();
        // Closing the window ends the program, also while it sits in the tray.
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}

void TForm1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // The application's minimize event, once the minimize is complete,
    // unless the program was restored meanwhile. Not asked of isMinimized():
    // under Wayland the compositor keeps that state to itself, and the window
    // reads as normal again right after it was minimized.
    QTimer::singleShot(0, this, [this, restores = m_restores] {
        if (restores == m_restores && m_minimizeEvent)
            m_minimizeEvent();
    });
}

void TForm1::Hide1Click()
{
    if (ApplicationMinimized())
        return;
    showMinimized();
}

void TForm1::Restore1Click()
{
    if (!ApplicationMinimized())
        return;
    Restore();
}

void TForm1::StartInTray()
{
    if (NotifyIcon1->TrayAvailable()) {
        // Never shown: only the icon, no window and no taskbar entry.
        if (m_minimizeEvent)
            m_minimizeEvent();
    } else {
        // Nowhere to bring it back from but the taskbar.
        showMinimized();
    }
}

void TForm1::BringToFront()
{
    Restore1Click();
    // Under Wayland the compositor may have minimized the window without
    // telling, and a window cannot raise itself: shown afresh, it comes back.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && isVisible()) {
        hide();
        show();
    }
    raise();
    activateWindow();
}

void TForm1::ShowApplicationWindow()
{
    // The window carries its own taskbar entry: Restore brings both back.
}

void TForm1::HideApplicationWindow()
{
    hide();
}

void TForm1::Restore()
{
    ++m_restores;
    if (!isVisible() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        destroy();
        overrideWindowState(windowState() & ~Qt::WindowMinimized);
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
}

OptionsControls& TForm1::PanelControls()
{
    return *GroupBox1;
}

void TForm1::BitBtn5Click()
{
    GroupBox1->show();
    SetFiveButtonsEnabled(false);
}

void TForm1::HideOptionsPanel()
{
    GroupBox1->hide();
    SetFiveButtonsEnabled(true);
}

void TForm1::SetFiveButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn10, BitBtn11, BitBtn7})
        button->setEnabled(enabled);
}

void TForm1::BitBtn7Click()
{
    const std::string path = m_program.SaveReport();
    MessageBoxes::Information(this, QString::fromStdString(ReportSavedMessage(path)));
}

void TForm1::BitBtn1Click()
{
    ChooseAndAddPath(m_program.List1());
}
void TForm1::BitBtn2Click()
{
    ChooseAndAddPath(m_program.List2());
}

void TForm1::ChooseAndAddPath(FolderList& list)
{
    m_program.AddPath(list, [this] { return ExecuteSelectDirectory(this); });
}

void TForm1::CopyPath(FolderList& list)
{
    std::string carrier = Edit1->text().toStdString();
    const auto text = m_program.CopyPath(list, carrier);
    Edit1->setText(QString::fromStdString(carrier));
    if (text)
        QApplication::clipboard()->setText(QString::fromStdString(*text));
}

void TForm1::Deliver(const std::function<void()>& command)
{
    Guarded(command)();
}

void TForm1::RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon)
{
    if (m_balloonHandler)
        m_balloonHandler(text, title, icon);
}

void TForm1::SetSynchronizeSelectedVisible(bool visible)
{
    BitBtn10->setVisible(visible);
}
void TForm1::SetSynchronizeAllVisible(bool visible)
{
    BitBtn11->setVisible(visible);
}
void TForm1::SetGaugeVisible(bool visible)
{
    Gauge1->setVisible(visible);
}
void TForm1::SetGaugeProgress(int percent)
{
    Gauge1->SetProgress(percent);
}

bool TForm1::Confirm(const std::string& text, const std::string& details)
{
    return MessageBoxes::Confirm(this, QString::fromStdString(text), QString::fromStdString(details))
        == MessageBoxes::Answer::Ok;
}

void TForm1::ShowMessage(const std::string& text)
{
    MessageBoxes::Information(this, QString::fromStdString(text));
}

void TForm1::BitBtn6Click()
{
    OpenHelp(kHelpFileName);
}
void TForm1::BitBtn12Click()
{
    OpenHelp(kSecondHelpFileName);
}

void TForm1::OpenHelp(const QString& fileName)
{
    const QString path = m_helpFolder + QLatin1Char('/') + fileName;
    if (!QFileInfo(path).isFile())
        MessageBoxes::Information(this, tr(kHelpNotFound));
    else if (!m_openUrl(QUrl::fromLocalFile(path)))
        MessageBoxes::Information(this, kNoProgramForDocument.arg(path));  // else the click would seem lost
}

void TForm1::StaticText1Click()
{
    m_openUrl(kAuthorAddress);
}
void TForm1::Image2Click()
{
    m_openUrl(kCompanyAddress);
}
void TForm1::Image3Click()
{
    m_openUrl(kSiteGroupAddress);
}

namespace {

void SetLinkLook(QLabel* link, const QColor& colour, bool underline)
{
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, colour);
    link->setPalette(palette);
    // Only the underline is the link's own: the rest follows the window's font.
    QFont font;
    font.setUnderline(underline);
    link->setFont(font);
}

}  // namespace

void TForm1::StaticText1MouseMove()
{
    SetLinkLook(StaticText1, kLinkHoverColour, true);
}
void TForm1::FormMouseMove()
{
    SetLinkLook(StaticText1, kLinkColour, false);
}

void TForm1::mousePressEvent(QMouseEvent* event)
{
    m_backgroundPressed = event->button() == Qt::LeftButton && OnBackground(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void TForm1::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the background; what a control
    // underneath did not take is not the window's.
    const bool click = m_backgroundPressed && event->button() == Qt::LeftButton
        && OnBackground(event->position().toPoint());
    m_backgroundPressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        Guarded([this] { FormClick(); })();
}

void TForm1::mouseMoveEvent(QMouseEvent* event)
{
    // Moves over an untracked control come up to the window too: they are
    // not the background's.
    if (OnBackground(event->position().toPoint()))
        FormMouseMove();
    QWidget::mouseMoveEvent(event);
}
