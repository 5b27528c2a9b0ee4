// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window does, apart from any toolkit: it owns the data area,
// the link and its thread, the sampler's timer and the settings store; it
// starts and stops the link, loads a preset, opens the child windows' reads
// on the link, chooses the port from the settings, and ends the program in
// one order however it is asked to. The face draws the window and its
// panels, shows the child windows and the boxes, and forwards the presses.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "diagnosis/Report.h"
#include "ecu/CsvTable.h"
#include "ecu/EcuDecoder.h"
#include "ecu/SessionHistory.h"
#include "journal/VisitKeeper.h"
#include "lines/LineFactory.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"
#include "logic/PostQueue.h"
#include "logic/SharedData.h"
#include "logic/TesterOptions.h"
#include "logic/WindowLogic.h"
#include "logic/WindowTables.h"
#include "painting/ChartReview.h"
#include "painting/ChartView.h"
#include "painting/PaintGate.h"
#include "painting/Sampler.h"
#include "platform/SerialPorts.h"
#include "platform/SettingsStore.h"
#include "platform/TimerService.h"

namespace logic {

// What the main window's face does for its logic.
class MainWindowFace {
public:
    virtual ~MainWindowFace() = default;
    // Wakes the user-interface thread to call the logic's runPosted();
    // callable from any thread.
    virtual void wake() = 0;
    // The window's controls changed (MainWindow::controls()): shown as a
    // child window's are.
    virtual void showControls() = 0;
    // Paints panel k (1..7) now.
    virtual void repaintPanel(int k) = 0;
    // An error box in front of the window in front.
    virtual void showError(const std::string& text) = 0;
    // Closes every open child window through its own close handling.
    virtual void closeChildren() = 0;
    // Ends every event loop with exitCode.
    virtual void quit(int exitCode) = 0;
    // Pixels of a 1251 text in the flag strip's bold 11-pixel Arial.
    virtual int stripTextWidth(const std::string& text1251) const = 0;
    // Keeps what the window shows now in area (the window's pixels), to be saved.
    virtual void capturePicture(const ui::Rect& area) = 0;
    // Writes the kept picture as PNG: empty, or why not (English).
    virtual std::string saveCapturedPicture(const std::string& path) = 0;
    // Opens a document (UTF-8 path) in the system's program for it: empty,
    // or why not (English).
    virtual std::string openDocument(const std::string& path) = 0;
    // A child window ("Настройка", "Ошибки", "Управление", "О программе") over this logic,
    // owned by the main window, which is disabled until it closes.
    virtual void openChild(std::unique_ptr<ui::WindowLogic> window) = 0;
    // The system's save dialog (suggesting name; an existing file is asked
    // about) or open dialog (of an existing file), owned by the window in
    // front, in folder, offering ui::fileTypes(kind). Texts in UTF-8: the
    // path chosen, or empty when none was.
    struct FileDialog {
        bool save;
        std::string title, folder, name;
        ui::FileKind kind;
    };
    virtual std::string chooseFile(const FileDialog& d) = 0;
};

// What can be saved from the window.
enum class Export { Charts, Window, Table, RangeTable, Report };

// The manual (one HTML page made from the manual pages) and where the
// program finds it: beside itself, in its build folder, or where the
// package installs it; empty when it is in none.
inline constexpr const char* kManualName = "manual-ru.html";
std::string findManual(const std::string& programDir);

class MainWindow : public SharedData, public klink::LinkObserver {
public:
    // line: what the link talks through and what it allows (logic::makeLine
    // makes the one the options name; tests hand in a simulated line).
    MainWindow(const TesterOptions& options, lines::MadeLine line, MainWindowFace& face);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes the decoder, the link's thread and the sampler; decimalPoint is
    // the user's (UTF-8). Empty, or what could not be made
    // ("Ошибка! Невозможно создать поток."), after which the program ends.
    std::string begin(const std::string& decimalPoint);
    bool begun() const { return link_ != nullptr; }
    // Once the window shows: the stored presets and colours are read (a box
    // for a failure then stands in front of the window), and the panels
    // show preset 1.
    void created();
    // Runs step on the user-interface thread, soon; callable from any thread.
    void post(std::function<void()> step) { posted_.post(std::move(step)); }
    // The user-interface thread, when the face was woken: every posted step.
    void runPosted() { posted_.run(); }

    // A button of the window pressed (its identifier in ui::mainWindow()).
    void pressed(int id);
    // What the window's controls show, as a child window's logic says it:
    // "Старт" enabled while stopped and "Стоп" while running (the focus goes
    // from the one disabled to the other), the preset's button down,
    // "Управление" only where the car may be commanded. Their presses come
    // back through pressed(id).
    ui::WindowLogic& controls() { return buttons_; }
    // "Старт", "Стоп", "1".."12".
    void start();
    void stop();
    void selectPreset(int n);
    // A key pressed in the window: F1..F12 load the presets the settings
    // dialog names so, the review's keys (ui::mainWindowKeys) move the
    // charts. True when it meant something here; exact modifiers only.
    bool press(const ui::Chord& chord, bool repeat = false);
    // "Настройка", "Ошибки", "Управление": the window's logic, or none when
    // it may not open; the codes' reads and the control area's first report
    // go out with it.
    std::unique_ptr<ui::WindowLogic> openSettings();
    std::unique_ptr<ui::WindowLogic> openErrors();
    std::unique_ptr<ui::WindowLogic> openControl();
    // "О программе": the program, the window's keys and the manual's button.
    std::unique_ptr<ui::WindowLogic> openAbout();
    // The journal's window over the journal this session keeps (or the one
    // in the programs' data folder when it keeps none).
    std::unique_ptr<ui::WindowLogic> openJournal();
    // A recording chosen in the open dialog, reviewed.
    void openRecording();
    // The same car's previous recorded drive (from the journal) drawn beside
    // this one, a dimmer trace on each chart aligned by the time since each
    // drive's first pass, and compared in the report; again: no longer.
    void comparePrevious();
    // The previous drive while it is shown (null otherwise).
    const ecu::SessionHistory* previousDrive() const { return previousShown_ ? previous_.get() : nullptr; }
    // A recording reviewed in a tester window of its own (the whole drive at
    // once, paused at its end), beside this one.
    void review(const std::string& recording);
    // How another tester is started (its arguments): empty, or why not. By
    // default this program's file, on its own.
    std::function<std::string(const std::vector<std::string>&)> startTester;
    // Every way the program ends ("Выход", the window's close, Ctrl+C,
    // termination, hang-up): the colours are stored, open windows close
    // through their own handling, an output left on is released, the link
    // stops; then every event loop ends with exitCode. Once.
    void end(int exitCode);
    bool ended() const { return ended_; }
    // The face is going: the same stop without the colours or the quit.
    void shutDown();

    // Paints panels 1..5, 7 and 6 at once, in that order.
    void repaintAll();
    // What the flag strip (6: its status line) and the passport (7: the
    // identification, a text a line) say in words, code page 1251: for
    // screen readers and the programs that drive the window.
    std::string panelWords(int k) const;

    // Looking back at the drive: a command of the keys or the chart menu
    // (a cursor at pixel column x, or at the view's middle when x < 0);
    // whether it is enabled now (the menu greys the rest); the wheel over a
    // chart (notches away from the user: later; with ctrl: shorter span); a
    // click on a chart at pixel column x (second: the range's other end).
    void run(ui::Command command, int x = -1);
    bool enabled(ui::Command command) const;
    void chartWheel(int notches, bool ctrl);
    void chartClick(int x, bool second);
    // The chart menu as the right mouse button opens it at pixel column x,
    // and the entry chosen from it.
    std::vector<ui::MenuItem> chartMenu() const;
    void menuChosen(int id, int x);
    // Asks for the file and saves; a failure says why in a box.
    void exportDrive(Export what);
    // The table of the kept passes (all, or those between the cursors) in
    // the logger's columns: empty, or why not.
    std::string writeTable(const std::string& path, bool rangeOnly, ecu::CsvStyle style) const;
    // The drive's report (HTML or JSON by the name's ending): the kept
    // passes judged, the identification, the codes last read and what was
    // done to the car. Empty, or why not.
    std::string writeReport(const std::string& path) const;
    // What the user did to the car (codes read or cleared, an output
    // switched, an adjustment, a reset), at the drive's newest pass; for the
    // report (a reading of the codes is its codes' page, not an action) and
    // the journal.
    void noteAction(const std::string& kind, const std::string& what);
    // A window's command may go to the car only while the link runs; else
    // the user is told, and nothing is sent (see ui::WindowLogic::mayCommand).
    bool commandMayGo();
    const std::vector<diagnosis::ReportAction>& actions() const { return actions_; }
    bool rangeChosen() const { return review_.cursorA() && review_.cursorB(); }
    // A replay's pace: 1, 2, 4 or 8 times the recorded one, or 0 for as fast
    // as it goes (the whole drive at once, then shown for review).
    bool replaying() const { return replay_ != nullptr; }
    int replaySpeed() const { return replaySpeed_; }
    void setReplaySpeed(int speed);
    const ecu::SessionHistory& session() const { return session_; }
    ecu::SessionHistory& session() { return session_; }
    const display::ChartReview& review() const { return review_; }

    // How a failure is reported on the user-interface thread; by default the
    // face's error box.
    std::function<void(const std::string&)> reportError;
    // Where the settings dialog lists the serial ports from.
    std::function<std::vector<platform::SerialPortEntry>()> listPorts = [] { return platform::listSerialPorts(); };

    // The port the next "Старт" opens (--port, else the port tab's choice,
    // else the default); empty where there is no port to choose.
    std::string portForNextStart() const;
    bool canCommand() const { return canCommand_; }
    const display::DisplaySources& sources() const { return sources_; }
    platform::SettingsStore& store() { return store_; }
    klink::Com_Port& link() { return *link_; }
    platform::TimerService& timers() { return timers_; }

private:
    // The journal this tester keeps: the one named, else the user's.
    std::string journalFile() const;
    class Buttons : public ui::WindowLogic {
    public:
        Buttons(MainWindow& owner, bool canCommand);
        void pressed(int id, bool) override { owner_.pressed(id); }
        void running(bool on);
        void preset(int n);

    private:
        MainWindow& owner_;
    };
    void showRunning(bool running);
    void choosePort();
    // The visit in the journal begins, once the journal is open and "Старт" pressed.
    void beginVisit();
    void requestRepaint(display::Sampler::Repaint what);
    void stopTimer();
    void serveReleases();
    // Said on the standard error now and through reportError soon, from any thread.
    // where: the device or file it is about, named as it is.
    void reportFromAnyThread(const std::string& text, const std::string& where = {});
    // Prints text to the standard error and returns it as a box says it.
    static std::string toBox(const std::string& text, const std::string& where);
    void repaintCharts();
    bool reviewChanged(bool changed);
    std::int64_t newestMs() const;
    std::int64_t oldestMs() const;
    std::int64_t liveLeftMs() const;
    void openManual();
    // LinkObserver, on the link's thread.
    void linkStopped() override;
    void passCompleted(std::uint64_t pass) override;
    void portFailed(const std::string& device, const std::string& reason) override;
    void adapterNote(const std::string& text) override;
    void identificationRead() override;
    void commandAnswered(const klink::CommandKey& command, klink::CommandAnswer answer, int code) override;
    // The user-interface thread: the answers come so far, each noting the
    // oldest action that waited for it.
    void takeAnswers();
    void endVisit();

    MainWindowFace& face_;
    Buttons buttons_;
    PostQueue posted_;
    TesterOptions options_;
    platform::SettingsStore store_;
    std::unique_ptr<platform::SerialLine> line_;
    klink::WireRecorder* recorder_ = nullptr;
    bool canCommand_ = true;
    bool portChoosable_ = true;
    bool reconnects_ = false;
    std::optional<klink::RecordingObserver> recordingObserver_;
    std::unique_ptr<ecu::EcuDecoder> decoder_;
    std::unique_ptr<klink::Com_Port> link_;
    platform::TimerService timers_;
    std::unique_ptr<display::Sampler> sampler_;
    display::DisplaySources sources_;
    display::PaintGate paintGate_;
    std::string chosenDevice_;
    platform::WakeMethod chosenWake_ = platform::WakeMethod::SlowByte;
    platform::AdapterKind chosenAdapter_ = platform::AdapterKind::KLine;
    unsigned chosenRate_ = 38400;
    bool created_ = false;
    display::ColourScheme coloursLoaded_;  // as read at the start: only what changed since is written
    bool ended_ = false;
    bool shutDown_ = false;
    std::atomic<bool> repaintAllPending_{false};
    std::atomic<bool> repaintStripPending_{false};
    ecu::SessionHistory session_;
    display::ChartReview review_;
    platform::WallTime started_;
    std::vector<diagnosis::ReportAction> actions_;
    klink::ReplayLine* replay_ = nullptr;
    int replaySpeed_ = 1;
    std::uint32_t reconnectionsKept_ = 0;  // the link's thread
    journal::VisitKeeper visit_;           // the user-interface thread
    // Actions waiting for the ECU's answer to their command (the
    // user-interface thread), and the answers come (the link's thread in).
    using AwaitedAction = ui::WindowLogic::Awaited;
    std::vector<AwaitedAction> awaited_;
    struct Answer {
        klink::CommandKey command;
        klink::CommandAnswer answer;
        int code;
    };
    // True when the action waits on: a hand-back not confirmed is noted
    // once a later one is.
    bool noteAnswered(const AwaitedAction& action, const Answer& a);
    std::mutex answersMutex_;  // also guards portProblem_
    std::string portProblem_;  // said once the failure stop that follows it shows
    std::vector<Answer> answers_;
    bool visitToBegin_ = false;  // the journal is open; the visit begins at the first "Старт"
    bool everStarted_ = false;   // "Старт" was pressed in this session
    // The previous drive compared with: read on loader_, then kept here.
    std::shared_ptr<ecu::SessionHistory> previous_;
    platform::WallTime previousStarted_;
    bool previousShown_ = false;
    std::thread loader_;
    std::atomic<bool> stopLoading_{false};
};

}  // namespace logic
