#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "core/Program.h"
#include "core/ProgramView.h"
#include "platform/desktop/SystemTrayNotifyArea.h"
#include "tray/NotifyIcon.h"
#include "tray/QtTrayDesktop.h"
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
// Report list, the Options panel and the tray icon. A view of the program
// (core/Program.h): it builds the controls, shows what the program tells
// it, and each handler hands its command to the program. The tray icon's
// hiding and restoring are the window's own (TrayApplication).
class TForm1 : public QWidget, private ProgramView, private TrayApplication {
    Q_OBJECT
public:
    // The help documents, in the folder where the program is installed.
    static const QString kHelpFileName;  // "FOLDERLY_13.HLP"
    static const QString kSecondHelpFileName;  // "ALLPROGS.HLP"
    // Shown when the help document is missing; translated (tr) when shown.
    static const char* const kHelpNotFound;  // "Help file not found"
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

    // The window of program, which must outlive it.
    explicit TForm1(Program& program, QWidget* parent = nullptr);
    ~TForm1() override;

    // What closing the window runs first; it returns false to keep the
    // window open (its saving failed).
    void SetCloseHandler(std::function<bool()> handler) { m_closeHandler = std::move(handler); }

    // Where the help documents are looked for (the installed data folder
    // unless told otherwise) and how documents and addresses are opened
    // (the desktop's default application unless told otherwise).
    void SetHelpFolder(const QString& folder) { m_helpFolder = folder; }
    const QString& HelpFolder() const { return m_helpFolder; }
    void SetUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // Commands, under the names of the controls they belong to (see
    // docs/GLOSSARY.md). Each hands its command to the program.
    //   BitBtn1, BitBtn2    "Add Path to List 1", "Add Path to List 2"
    //   BitBtn11, BitBtn10  "Synchronize all", "Synchronize selected": the
    //                       pass by Synchro mode
    //   BitBtn4, BitBtn3    never shown: files mode over all and over
    //                       selected folders
    //   BitBtn5, BitBtn7    " Options", "Save Report"
    //   BitBtn6, BitBtn12   the two help documents
    //   BitBtn8, BitBtn9    the Options panel's "  Save" and "  Hide"
    // The "Synchro Now" commands are numbered crosswise: SynchroNow2 sits in
    // List 1's menu (PopupMenu1), SynchroNow1 in List 2's (PopupMenu2).
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn10Click() { m_program.SynchronizeSelected(); }
    void BitBtn11Click() { m_program.SynchronizeAll(); }
    void BitBtn3Click() { m_program.Run(Program::Mode::Files, Program::Scope::Selected); }
    void BitBtn4Click() { m_program.Run(Program::Mode::Files, Program::Scope::All); }
    void SynchroNow1Click() { m_program.SynchronizeNow(); }  // List 2's menu
    void SynchroNow2Click() { m_program.SynchronizeNow(); }  // List 1's menu
    void Delete1Click() { m_program.DeleteSelected(m_program.List1()); }
    void Delete2Click() { m_program.DeleteSelected(m_program.List2()); }
    void Clearall1Click() { m_program.ClearList(m_program.List1()); }
    void Clearall2Click() { m_program.ClearList(m_program.List2()); }
    void Selectall1Click() { m_program.SelectAll(m_program.List1()); }
    void Selectall2Click() { m_program.SelectAll(m_program.List2()); }
    void Deselectall1Click() { m_program.DeselectAll(m_program.List1()); }
    void Deselectall2Click() { m_program.DeselectAll(m_program.List2()); }
    void CopyPath1Click() { CopyPath(m_program.List1()); }
    void CopyPath2Click() { CopyPath(m_program.List2()); }
    void BitBtn5Click();
    void BitBtn7Click();
    void BitBtn6Click();
    void BitBtn12Click();
    void StaticText1Click();  // the author's site
    void Image2Click();  // the company's site
    void Image3Click();  // the site group's site
    void StaticText1MouseMove();  // the link lights up
    void FormMouseMove();  // the link goes back to rest
    void FormClick() { m_program.DeselectBothLists(); }
    void BitBtn8Click() { m_program.SaveOptions(); }
    void BitBtn9Click() { m_program.HideOptions(); }
    void CheckBox3Click() { m_program.FilterBoxClicked(); }
    void CheckBox5Click() { m_program.AutostartBoxClicked(); }
    // The interval box changed or closed its list; the timer ticked.
    void TimerSet() { m_program.IntervalChosen(); }
    void SynchroTimer() { m_program.TimerTicked(); }
    // The tray menu.
    void Hide1Click();
    void Restore1Click();
    void SynchronizeNow1Click() { m_program.SynchronizeNow(); }
    void Exit1Click() { close(); }
    // The start in the tray (Tray Mode): no window, only the icon.
    void StartInTray();
    // Another start of the program asked for the window: shown (from the
    // tray or the taskbar) and in front.
    void BringToFront();

    // The program this window shows, for the start, tests and the tray.
    Program& Core() { return m_program; }
    // The synchro timer (Timer1) is the program's.
    PeriodicTimer& Timer1() { return m_program.Timer(); }

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
    // ProgramView
    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override;
    void SetSynchronizeSelectedVisible(bool visible) override;
    void SetSynchronizeAllVisible(bool visible) override;
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int percent) override;
    bool Confirm(const std::string& text, const std::string& details) override;
    void ShowMessage(const std::string& text) override;
    void KeepResponsive() override;
    OptionsControls& PanelControls() override;
    void HideOptionsPanel() override;
    void Deliver(const std::function<void()>& command) override;

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

    Program& m_program;
    bool m_centred = false;
    bool m_backgroundPressed = false;
    QString m_helpFolder;
    UrlOpener m_openUrl;
    std::function<bool()> m_closeHandler;
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
