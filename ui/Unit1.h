#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "lists/FolderList.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "platform/desktop/SystemTrayNotifyArea.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"
#include "sync/ReportList.h"
#include "sync/RunHost.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"
#include "tray/NotifyIcon.h"
#include "tray/QtPeriodicTimer.h"
#include "tray/QtTrayDesktop.h"
#include "tray/SynchroRuns.h"
#include "tray/TrayApplication.h"

class ClickableLabel;
class Gauge;
class OptionsPanel;
class FolderListBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

// The main window: the two folder lists, the run buttons and gauge, the
// Report list. Its handlers are thin: the work is done by the lists, the
// runs and the options, which know nothing of widgets.
class TForm1 : public QWidget, private RunHost, private OptionsHost, private SynchroRuns, private TrayApplication {
    Q_OBJECT
public:
    // The help documents, in the folder where the program is installed.
    static const QString kHelpFileName;  // "FOLDERLY_13.HLP"
    static const QString kSecondHelpFileName;  // "ALLPROGS.HLP"
    static const QString kHelpNotFound;  // "Файл справки не найден"
    // A help document that no program on this desktop can open; %1 is its path.
    static const QString kNoProgramForDocument;
    // The link and the pictures at the foot of the window.
    static const QString kLinkCaption;
    static const QUrl kAuthorAddress;
    static const QString kCompanyName;
    static const QUrl kCompanyAddress;
    static const QString kSiteGroupName;
    static const QUrl kSiteGroupAddress;
    // Link colours: navy at rest, purple under the mouse.
    static const QColor kLinkColour;
    static const QColor kLinkHoverColour;

    // Opens a document or a web address with the desktop's application for
    // it; false when no program to open it could be started.
    using UrlOpener = std::function<bool(const QUrl&)>;

    // programFolder: where the list files and the report live (with its
    // trailing '/'); settingsFile and autostartFile: where the options and
    // the autostart entry are kept (empty: the user's usual places).
    explicit TForm1(std::string programFolder, const std::string& settingsFile = {},
                    const std::string& autostartFile = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // What closing the window runs first; it returns false to keep the
    // window open (its saving failed).
    void SetCloseHandler(std::function<bool()> handler) { m_closeHandler = std::move(handler); }
    // Asked between two copies of a run: true when the program is to end.
    void SetStopQuery(std::function<bool()> query) { m_stopQuery = std::move(query); }

    // Where the help documents are looked for (the installed data folder
    // unless told otherwise) and how documents and addresses are opened
    // (the desktop's default application unless told otherwise).
    void SetHelpFolder(const QString& folder) { m_helpFolder = folder; }
    const QString& HelpFolder() const { return m_helpFolder; }
    void SetUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // Commands, under the names of the controls they belong to:
    //   BitBtn1, BitBtn2    "Add Path to List 1", "Add Path to List 2"
    //   BitBtn11, BitBtn10  "Synchronize all", "Synchronize selected": the
    //                       pass by Synchro mode
    //   BitBtn4, BitBtn3    never shown; their handlers are the files-mode
    //                       passes over all and over selected folders, which
    //                       the two above and the timer call
    //   BitBtn5, BitBtn7    " Options", "Save Report"
    //   BitBtn6, BitBtn12   the two help documents
    //   BitBtn8, BitBtn9    the Options panel's "  Save" and "  Hide"
    // The "Synchro Now" commands are numbered crosswise: SynchroNow2 sits in
    // List 1's menu (PopupMenu1), SynchroNow1 in List 2's (PopupMenu2).
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn10Click() { m_sync.BitBtn10Click(); }
    void BitBtn11Click() { m_sync.BitBtn11Click(); }
    void BitBtn3Click() override { m_sync.BitBtn3Click(); }
    void BitBtn4Click() override { m_sync.BitBtn4Click(); }
    void SynchroNow1Click() { m_sync.SynchroNowClick(); }  // List 2's menu
    void SynchroNow2Click() { m_sync.SynchroNowClick(); }  // List 1's menu
    void Delete1Click() { m_list1.DeleteSelected(); }
    void Delete2Click() { m_list2.DeleteSelected(); }
    void Clearall1Click() { m_list1.Clear(); }
    void Clearall2Click() { m_list2.Clear(); }
    void Selectall1Click() { m_list1.SelectAll(); }
    void Selectall2Click() { m_list2.SelectAll(); }
    void Deselectall1Click() { m_list1.DeselectAll(); }
    void Deselectall2Click() { m_list2.DeselectAll(); }
    void CopyPath1Click() { CopyPath(m_list1); }
    void CopyPath2Click() { CopyPath(m_list2); }
    void BitBtn5Click();
    void BitBtn7Click();
    void BitBtn6Click();
    void BitBtn12Click();
    void StaticText1Click();  // the author's site
    void Image2Click();  // the company's site
    void Image3Click();  // the site group's site
    void StaticText1MouseMove();  // the link lights up
    void FormMouseMove();  // the link goes back to rest
    void FormClick();  // both lists lose their selection
    void BitBtn8Click() { m_options.BitBtn8Click(); }
    void BitBtn9Click() { m_options.BitBtn9Click(); }
    // The interval box changed or closed its list; the timer ticked.
    void TimerSet();
    void SynchroTimer();
    // The tray menu.
    void Hide1Click();
    void Restore1Click();
    void SynchronizeNow1Click() { m_sync.SynchroNowClick(); }
    void Exit1Click() { close(); }
    // The start in the tray (Tray Mode): no window, only the icon.
    void StartInTray();
    // Another start of the program asked for the window: shown (from the
    // tray or the taskbar) and in front.
    void BringToFront();

    // Access for the tray, the timer and tests.
    FolderList& List1() { return m_list1; }
    FolderList& List2() { return m_list2; }
    ReportList& Report() { return m_report; }
    RunState& State() { return m_state; }
    Synchronizer& Sync() { return m_sync; }
    OptionsLogic& Options() { return m_options; }
    platform::SettingsStore& Store() { return m_store; }
    bool StartMinimized() const { return m_startMinimized; }
    const std::string& ProgramFolder() const { return m_programFolder; }

    // The window as runs see it: balloon, buttons, gauge, Synchro mode, boxes.
    RunHost& WindowRunHost() { return *this; }

    // Where a run's balloon request goes (the tray icon).
    void SetBalloonHandler(std::function<void(const std::string&, const std::string&, TBalloonIconType)> handler)
    {
        m_balloonHandler = std::move(handler);
    }

    // Controls, by their names.
    Gauge* Gauge1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image1 = nullptr;
    ClickableLabel* Image2 = nullptr;
    ClickableLabel* Image3 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn11 = nullptr;
    QPushButton* BitBtn10 = nullptr;
    FolderListBox* ListBox1 = nullptr;
    FolderListBox* ListBox2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QListWidget* ListBox3 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    OptionsPanel* GroupBox1 = nullptr;
    ClickableLabel* StaticText1 = nullptr;
    QPushButton* BitBtn12 = nullptr;
    QtPeriodicTimer Timer1;
    QMenu* PopupMenu4 = nullptr;
    QAction* Hide1 = nullptr;
    QAction* Restore1 = nullptr;
    QAction* SynchronizeNow1 = nullptr;
    QAction* Exit1 = nullptr;
    // Made and added to the notification area with the window; a desktop
    // without one keeps the program in the taskbar.
    std::unique_ptr<TNotifyIcon> NotifyIcon1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Clicks and moves that reach the window itself; only those over the
    // bare background are the window's own.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // RunHost
    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override;
    void SetSynchronizeSelectedVisible(bool visible) override;
    void SetSynchronizeAllVisible(bool visible) override;
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int percent) override;
    int SynchroModeIndex() const override;
    RunOptionValues RunValues() const override { return m_options.RunValues(); }
    bool Confirm(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    bool StopRequested() const override { return m_stopQuery && m_stopQuery(); }
    void KeepResponsive() override;

    // OptionsHost
    bool TimerEnabled() const override { return Timer1.Enabled(); }
    void SetTimerEnabled(bool enabled) override { Timer1.SetEnabled(enabled); }
    std::int32_t TimerInterval() const override { return static_cast<std::int32_t>(Timer1.Interval()); }
    void SetTimerInterval(std::int32_t milliseconds) override;
    void HideOptionsPanel() override;
    void SetStartMinimized() override { m_startMinimized = true; }

    // SynchroRuns: what a timer tick starts.
    void SynchroFolders_ns() override { m_sync.SynchroFolders_ns(); }
    void SynchroFolders_s() override { m_sync.SynchroFolders_s(); }

    // TrayApplication
    bool IsApplicationWindowVisible() const override { return isVisible(); }
    void ShowApplicationWindow() override;
    void HideApplicationWindow() override;
    void Restore() override;
    QIcon ApplicationIcon() const override { return windowIcon(); }
    QString ApplicationTitle() const override { return QStringLiteral("Folderly"); }
    void SetMinimizeEvent(std::function<void()> handler) override { m_minimizeEvent = std::move(handler); }

    void CreateControls();
    void CreateTrayIcon();
    void SetFiveButtonsEnabled(bool enabled);
    bool ApplicationMinimized() const { return !isVisible() || isMinimized(); }
    QMenu* CreateListMenu(FolderListBox* box, const QString& name, std::function<void()> synchroNow,
                          std::function<void()> addNew, FolderList& list);
    void ChooseAndAddPath(FolderList& list);
    void OpenHelp(const QString& fileName);
    bool OnBackground(const QPoint& at) const { return childAt(at) == nullptr; }
    void CopyPath(FolderList& list);

    std::string m_programFolder;
    RunState m_state;
    ReportList m_report;
    FolderList m_list1;
    FolderList m_list2;
    Synchronizer m_sync;
    platform::SettingsStore m_store;
    platform::AutostartEntry m_autostart;
    OptionsLogic m_options;
    bool m_centred = false;
    bool m_backgroundPressed = false;
    QString m_helpFolder;
    UrlOpener m_openUrl;
    bool m_startMinimized = false;
    std::function<bool()> m_closeHandler;
    std::function<bool()> m_stopQuery;
    std::function<void()> m_minimizeEvent;
    // When a run last let the window paint and answer the desktop.
    QElapsedTimer m_lastKeptResponsive;
    // When a run last laid out the Report list's new lines, and how many.
    QElapsedTimer m_reportLaidOut;
    int m_reportLinesLaidOut = 0;
    // Restores so far: a minimize event that comes after one is dropped.
    unsigned m_restores = 0;
    SystemTrayNotifyArea m_notifyArea;
    QtTrayDesktop m_trayDesktop;
    std::function<void(const std::string&, const std::string&, TBalloonIconType)> m_balloonHandler;
};
