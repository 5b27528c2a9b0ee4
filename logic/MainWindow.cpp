// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/MainWindow.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

#include "diagnosis/Checks.h"
#include "ecu/CsvTable.h"
#include "ecu/Identification.h"
#include "ecu/ParameterCatalogue.h"
#include "logic/ControlWindow.h"
#include "logic/DriveFile.h"
#include "logic/ErrorCodesWindow.h"
#include "logic/JournalWindow.h"
#include "logic/SettingsWindow.h"
#include "logic/StoredSettings.h"
#include "painting/PanelLayout.h"
#include "platform/Cp1251.h"
#include "platform/FileAccess.h"
#include "platform/Messages.h"

namespace logic {

MainWindow::MainWindow(const TesterOptions& options, lines::MadeLine line, MainWindowFace& face)
    : face_(face), buttons_(*this, line.canCommand), posted_([&face] { face.wake(); }), options_(options),
      store_(options.settingsPath.empty() ? platform::SettingsStore::defaultPath() : options.settingsPath),
      line_(std::move(line.line)), recorder_(line.recorder), canCommand_(line.canCommand),
      portChoosable_(line.portChoosable), reconnects_(line.reconnects), started_(line.started), replay_(line.replay),
      replaySpeed_(options.replaySpeed), visit_([this](const std::string& text) {
          if (reportError) reportError(text);
      }) {
    // The line plays a drive at its pace; the speed asked is the window's.
    if (replay_ && replaySpeed_ > 1) replay_->setSpeed(replaySpeed_);
    startTester = [](const std::vector<std::string>& args) {
        std::string why;
        platform::startProgram(platform::executablePath(), args, why);
        return why;
    };
    // The window's boxes speak Russian whatever the locale.
    reportError = [this](const std::string& text) { face_.showError(platform::forWindow(text)); };
    // The store reports once when it has to leave its file alone.
    store_.setProblemReport([this](const std::string& text) {
        if (reportError) reportError(text);
    });
}

MainWindow::Buttons::Buttons(MainWindow& owner, bool canCommand) : ui::WindowLogic(ui::mainWindow()), owner_(owner) {
    show(ui::kStop).enabled = false;
    show(ui::kPreset1).value = 1;
    show(ui::kControl).enabled = canCommand;  // a replay has no car to command
}

void MainWindow::Buttons::running(bool on) {
    show(ui::kStart).enabled = !on;
    show(ui::kStop).enabled = on;
    focusOn(on ? ui::kStop : ui::kStart);
}

void MainWindow::Buttons::preset(int n) {
    for (int k = 1; k <= 12; ++k)
        if ((shown(ui::kPreset1 + k - 1).value == 1) != (k == n)) show(ui::kPreset1 + k - 1).value = k == n ? 1 : 0;
}

void MainWindow::showRunning(bool running) {
    buttons_.running(running);
    face_.showControls();
}

MainWindow::~MainWindow() {
    // The face shuts down first (its child windows need it); this is the
    // last word for a face that did not.
    shutDown_ = true;
    timers_.killAll();
    if (link_) link_->shutdown();
    takeAnswers();  // the last hand-backs' answers
    stopLoading_ = true;
    if (loader_.joinable()) loader_.join();
    endVisit();
}

void MainWindow::endVisit() {
    // A session that never started, or one nothing came of, leaves no
    // visit, and the journal's recording of it goes: closed first, as
    // Windows removes no file still open.
    const bool forgotten = visit_.end();
    if (options_.journalRecording && (forgotten || !everStarted_)) {
        if (recorder_) recorder_->finish();
        platform::removeFile(options_.record);
    }
}

std::string MainWindow::begin(const std::string& decimalPoint) {
    chosenDevice_ = options_.port;
    chosenAdapter_ = options_.adapter;
    chosenRate_ = options_.elmRate;
    line_->setNoteSink([this](const std::string& text) { adapterNote(text); });
    // A separator that is no single 1251 byte (Arabic, Persian) would be
    // lost from every readout: those read with '.'.
    decoder_ = std::make_unique<ecu::EcuDecoder>(liveData, cp1251::singleByte(decimalPoint, '.'));
    klink::LinkObserver* observer = this;
    if (recorder_) {
        observer = &recordingObserver_.emplace(*recorder_, this);
        // A failed write ends the recording, not the run: said once.
        recorder_->setFailureReport([this](const std::string& why) { reportFromAnyThread(why); });
    }
    try {
        link_ = std::make_unique<klink::Com_Port>(*line_, linkData, decoder_.get(), observer);
    } catch (const std::system_error&) {
        ended_ = true;
        return "Ошибка! Невозможно создать поток.";
    }
    timerPeriod = 30;
    liveData.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    sampler_ = std::make_unique<display::Sampler>(
        linkData, session_, [this](display::Sampler::Repaint r) { requestRepaint(r); },
        [this] { timers_.killEvent(timerId.load()); });
    sources_.live = &liveData;
    sources_.link = &linkData;
    sources_.chartParameter = &chartParameter;
    sources_.colours = &colourScheme;
    sources_.session = &session_;
    sources_.review = &review_;
    sources_.started = started_;
    sources_.decimalSeparator = cp1251::singleByte(decimalPoint, '.');
    // The simulated car answers where the first port would.
    sources_.portName = display::portLabel(portChoosable_ ? options_.port : std::string("/dev/ttyS0"),
                                           [this](const std::string& t) { return face_.stripTextWidth(t); });
    return {};
}

void MainWindow::created() {
    stored::loadStoredSettings(store_, chartParameter, colourScheme, reportError);
    coloursLoaded_ = colourScheme;
    // The journal, once the window shows (a box for a journal that cannot
    // be used stands in front of it); the recording goes on either way. The
    // visit begins with the first "Старт": a session that never talked to
    // a car is none.
    visitToBegin_ = !options_.journalPath.empty() && visit_.open(options_.journalPath);
    if (everStarted_) beginVisit();  // "Старт" came first
    sources_.cursorColour = stored::loadCursorColour(store_);
    created_ = true;
    // The panels painted when the window first showed, before preset 1 was
    // read (and again under any box the reading raised): now they show it.
    if (!ended_) repaintAll();
    // A drive to review at once is replayed as fast as it goes: a recording
    // reaches no car.
    if (!ended_ && replay_ && replaySpeed_ == 0) start();
}

void MainWindow::choosePort() {
    // --port and --wake win; otherwise the port tab's choice. A change takes
    // effect now: the link opens the port anew at its next turn.
    const stored::PortChoice stored = stored::loadPortChoice(store_);
    const platform::WakeMethod wake = options_.wakeGiven ? options_.wake : stored.wake;
    if (wake != chosenWake_) {
        chosenWake_ = wake;
        line_->setWakeMethod(wake);  // from the next connection attempt
    }
    // --reconnect turns it on for this run; a replayed drive that reconnected
    // replays so.
    link_->setReconnect(options_.reconnect || stored.reconnect || reconnects_);
    if (!portChoosable_) return;
    // --adapter and --baud win too; a change opens the port anew.
    const platform::AdapterKind adapter = options_.adapterGiven ? options_.adapter : stored.adapter;
    const unsigned rate = options_.elmRateGiven ? options_.elmRate : stored.elmRate;
    const std::string device = portForNextStart();
    if (device == chosenDevice_ && adapter == chosenAdapter_ && rate == chosenRate_) return;
    chosenAdapter_ = adapter;
    chosenRate_ = rate;
    line_->setAdapter(adapter);
    line_->setPortRate(rate);
    const bool portChanged = device != chosenDevice_;
    chosenDevice_ = device;
    line_->setDevice(device);
    link_->reopenPort();
    if (!portChanged) return;
    sources_.portName = display::portLabel(device, [this](const std::string& t) { return face_.stripTextWidth(t); });
}

std::string MainWindow::portForNextStart() const {
    if (!portChoosable_) return {};
    const stored::PortChoice stored = stored::loadPortChoice(store_);
    return options_.portGiven || stored.device.empty() ? options_.port : stored.device;
}

void MainWindow::portFailed(const std::string& device, const std::string& reason) {
    // The failure stop comes right after: the box waits for it, so that the
    // window behind the box shows "Старт" again, not a link still running.
    const std::string message = toBox(reason, device);
    std::lock_guard<std::mutex> lock(answersMutex_);
    portProblem_ = message;
}

std::string MainWindow::toBox(const std::string& text, const std::string& where) {
    // The standard error at once, in the terminal's language; the box's
    // text in the window's.
    const std::string head = where.empty() ? std::string() : where + ": ";
    std::fprintf(stderr, "m797-tester: %s%s\n", head.c_str(), platform::forTerminal(text).c_str());
    return head + platform::forWindow(text);
}

void MainWindow::reportFromAnyThread(const std::string& text, const std::string& where) {
    post([this, message = toBox(text, where)] {
        if (reportError) reportError(message);
    });
}

void MainWindow::adapterNote(const std::string& text) {
    // A replay's notes are of the recording the user named, not of the
    // device it was recorded from.
    const std::string named = replay_ ? options_.replay : line_->name();
    std::fprintf(stderr, "m797-tester: %s: %s\n", named.c_str(), platform::forTerminal(text).c_str());
}

void MainWindow::beginVisit() {
    if (!visitToBegin_) return;
    visitToBegin_ = false;
    // The port and adapter this "Старт" uses: the options', else the port tab's.
    const platform::AdapterKind adapter =
        options_.adapterGiven ? options_.adapter : stored::loadPortChoice(store_).adapter;
    visit_.begin({"m797-tester " M797_VERSION, portChoosable_ ? portForNextStart() : line_->name(),
                  adapter == platform::AdapterKind::Elm327 ? "elm327" : "kline", options_.record});
    // Old recordings beyond the size the user keeps go.
    visit_.pruneRecordings(stored::loadJournalChoice(store_).keepMegabytes);
}

void MainWindow::start() {
    if (!link_ || ended_) return;
    choosePort();
    everStarted_ = true;
    // "Старт" disabled means running. It changes before the link resumes: a
    // link that fails at once (a port that cannot be opened) sets it back,
    // and the sampler's first tick then stops the timer.
    linkData.startEnabled.store(0, std::memory_order_release);
    // Nothing asked while no link ran goes out now, unasked.
    linkData.command.dropCommands();
    awaited_.clear();  // nor is any action noted that waited for them
    link_->start();
    timerId = timers_.setEvent(timerPeriod, 10, [this] { sampler_->tick(); });
    showRunning(true);
    // After the link started: a journal that cannot be written is said in a
    // box, and the drive does not wait for the box.
    beginVisit();
}

void MainWindow::stop() {
    if (!link_) return;
    link_->pause();
    stopTimer();
    linkData.startEnabled.store(1, std::memory_order_release);
    showRunning(false);
}

void MainWindow::stopTimer() { timers_.killEvent(timerId.load()); }

void MainWindow::linkStopped() {
    // The link's thread: the buttons change on the user-interface thread.
    // A replay that ran out keeps its last picture and says so.
    const bool ended = line_->ended();
    if (ended) linkData.statusText.set(cp1251::fromUtf8("Запись закончилась."));
    std::string problem;
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        problem.swap(portProblem_);
    }
    post([this, ended, problem] {
        showRunning(linkData.startEnabled.load(std::memory_order_acquire) != 1);
        if (!problem.empty() && reportError) reportError(problem);
        // The whole drive replayed at once shows whole, paused.
        if (ended && replaySpeed_ == 0 && !session_.empty()) reviewChanged(review_.showWhole(oldestMs(), newestMs()));
    });
}

void MainWindow::passCompleted(std::uint64_t pass) {
    keepMeasuredPass(pass, *link_, linkData, *decoder_, liveData, reconnectionsKept_, session_);
}

void MainWindow::selectPreset(int n) {
    if (!link_) return;
    buttons_.preset(n);
    face_.showControls();
    stored::selectParameterSet(store_, n, chartParameter, reportError);
}

bool MainWindow::press(const ui::Chord& chord, bool repeat) {
    if (!link_ || ended_) return false;
    if (chord.key == ui::Key::Function && chord.mods == 0 && chord.which >= 1 && chord.which <= 12) {
        if (!repeat) selectPreset(chord.which);
        return true;
    }
    for (const ui::KeyBinding& b : ui::mainWindowKeys()) {
        if (b.chord == chord) {
            // A held P pauses once, not once for each repeat.
            if (!repeat || ui::repeats(b.command)) run(b.command);
            return true;
        }
    }
    return false;
}

void MainWindow::pressed(int id) {
    const int preset = id - ui::kPreset1 + 1;
    if (preset >= 1 && preset <= 12) {
        selectPreset(preset);
        return;
    }
    std::unique_ptr<ui::WindowLogic> child;
    switch (id) {
        case ui::kStart:
            start();
            break;
        case ui::kStop:
            stop();
            break;
        case ui::kExit:
            end(0);
            break;
        case ui::kSettings:
            child = openSettings();
            break;
        case ui::kErrors:
            child = openErrors();
            break;
        case ui::kControl:
            child = openControl();
            break;
        case ui::kAbout:
            child = openAbout();
            break;
        default:
            break;
    }
    if (child) face_.openChild(std::move(child));
}

namespace {

// "О программе": "OK" closes it; "Руководство" closes it and then opens the
// manual (a box saying it is missing belongs to the main window then).
class AboutWindow : public ui::WindowLogic {
public:
    explicit AboutWindow(std::function<void()> manual) : WindowLogic(ui::aboutWindow()), manual_(std::move(manual)) {}
    void pressed(int id, bool) override {
        askClose();
        if (id == ui::kAboutManual) manual_();
    }

private:
    std::function<void()> manual_;
};

}  // namespace

std::unique_ptr<ui::WindowLogic> MainWindow::openAbout() {
    return std::make_unique<AboutWindow>([this] { post([this] { run(ui::Command::Manual, 0); }); });
}

std::unique_ptr<ui::WindowLogic> MainWindow::openSettings() {
    if (!begun()) return nullptr;
    auto w = std::make_unique<SettingsWindow>(
        store_, colourScheme, static_cast<int>(ecu::ParameterCatalogue::instance().all().size()),
        [this] { repaintAll(); }, reportError, listPorts, portForNextStart());
    w->open();
    return w;
}

std::unique_ptr<ui::WindowLogic> MainWindow::openErrors() {
    if (!link_) return nullptr;
    klink::post(linkData.command.dtcReadRequest);
    // A replay has nothing that could answer the clear command.
    auto w = std::make_unique<ErrorCodesWindow>(linkData.command, canCommand_);
    w->noteAction = [this](const std::string& kind, const std::string& what) { noteAction(kind, what); };
    w->noteOnAnswer = [this](ui::WindowLogic::Awaited a) { awaited_.push_back(std::move(a)); };
    w->mayCommand = [this] { return commandMayGo(); };
    w->saveReport = [this] { exportDrive(Export::Report); };
    return w;
}

std::unique_ptr<ui::WindowLogic> MainWindow::openControl() {
    // A replay has no car to command: no actuator tests, no resets.
    if (!link_ || !canCommand_) return nullptr;
    klink::post(linkData.command.controlActive);
    klink::post(linkData.command.actuator[0].reportRequest);
    auto w = std::make_unique<ControlWindow>(linkData.command, liveData);
    w->noteAction = [this](const std::string& kind, const std::string& what) { noteAction(kind, what); };
    w->noteOnAnswer = [this](ui::WindowLogic::Awaited a) { awaited_.push_back(std::move(a)); };
    w->mayCommand = [this] { return commandMayGo(); };
    return w;
}

void MainWindow::requestRepaint(display::Sampler::Repaint what) {
    // The timer's thread: handed to the panels' thread, at most one request
    // of each kind waiting, so a slow display never builds a backlog.
    std::atomic<bool>& pending = what == display::Sampler::Repaint::All ? repaintAllPending_ : repaintStripPending_;
    if (pending.exchange(true)) return;
    post([this, what, &pending] {
        pending = false;
        // Only what would look different: the moving traces, and the strip
        // or passport when their texts change.
        if (what == display::Sampler::Repaint::All) {
            for (int k : {1, 2, 3, 4, 5, 7})
                if (paintGate_.needsPaint(k, sources_)) face_.repaintPanel(k);
        }
        if (paintGate_.needsPaint(6, sources_)) face_.repaintPanel(6);
    });
}

void MainWindow::repaintAll() {
    if (!link_) return;
    paintGate_.forget();
    for (int k : {1, 2, 3, 4, 5, 7, 6}) face_.repaintPanel(k);
}

// ---- looking back ---------------------------------------------------------

std::int64_t MainWindow::newestMs() const {
    const std::size_t end = session_.end();
    return end > session_.first() ? session_.timeAt(end - 1) : 0;
}

std::int64_t MainWindow::liveLeftMs() const {
    // The live charts' moment: their newest sample, as old as its age in
    // ticks of the timer's period.
    const std::uint64_t tick = session_.ticks();
    std::int64_t timeMs = 0;
    std::uint64_t takenAt = 0;
    if (!session_.newestTaken(tick, timeMs, takenAt)) return newestMs();
    return timeMs + static_cast<std::int64_t>(tick - takenAt) * static_cast<std::int64_t>(timerPeriod);
}

std::int64_t MainWindow::oldestMs() const { return session_.empty() ? 0 : session_.timeAt(session_.first()); }

void MainWindow::repaintCharts() {
    if (!link_) return;
    for (int k = 1; k <= 5; ++k)
        if (paintGate_.needsPaint(k, sources_)) face_.repaintPanel(k);
}

bool MainWindow::reviewChanged(bool changed) {
    if (changed) repaintCharts();
    return changed;
}

void MainWindow::run(ui::Command command, int x) {
    using ui::Command;
    if (!link_ || ended_) return;
    const std::int64_t newest = newestMs(), oldest = oldestMs();
    switch (command) {
        case Command::None:
            return;
        case Command::Pause:
            reviewChanged(review_.following() ? review_.pauseAsShown(liveLeftMs(), session_.ticks())
                                              : review_.togglePause(newest));
            return;
        case Command::Earlier:
        case Command::Later:
        case Command::EarlierSpan:
        case Command::LaterSpan: {
            const bool later = command == Command::Later || command == Command::LaterSpan;
            const bool span = command == Command::EarlierSpan || command == Command::LaterSpan;
            reviewChanged(review_.scroll((later ? 1 : -1) * (span ? 10 : 1), oldest, newest));
            return;
        }
        case Command::Oldest:
            reviewChanged(review_.toOldest(oldest, newest));
            return;
        case Command::Live:
            reviewChanged(review_.backToLive());
            return;
        case Command::ZoomIn:
        case Command::ZoomOut:
            reviewChanged(review_.zoom(command == Command::ZoomIn ? 1 : -1));
            return;
        case Command::Cursor:
        case Command::SecondCursor: {
            // At the pixel column, or the middle of the view; on the pass nearest to it.
            if (session_.empty()) return;
            const std::int64_t at =
                x >= 0 ? review_.timeAtPixel(x, newest) : review_.leftMs(newest) - review_.spanMs() / 2;
            reviewChanged(
                review_.placeCursor(command == Command::SecondCursor, session_.timeAt(session_.nearest(at)), newest));
            return;
        }
        case Command::CursorEarlier:
        case Command::CursorLater: {
            const auto& c = review_.secondActive() ? review_.cursorB() : review_.cursorA();
            if (!c) return;
            const std::size_t at = session_.nearest(*c);
            std::size_t to = at;
            if (command == Command::CursorEarlier && at > session_.first()) --to;
            if (command == Command::CursorLater && at + 1 < session_.end()) ++to;
            if (to != at) reviewChanged(review_.placeCursor(review_.secondActive(), session_.timeAt(to), newest));
            return;
        }
        case Command::ClearCursors:
            reviewChanged(review_.clearCursors());
            return;
        case Command::SaveCharts:
            exportDrive(Export::Charts);
            return;
        case Command::SaveWindow:
            exportDrive(Export::Window);
            return;
        case Command::SaveTable:
            exportDrive(Export::Table);
            return;
        case Command::SaveRange:
            exportDrive(Export::RangeTable);
            return;
        case Command::Report:
            exportDrive(Export::Report);
            return;
        case Command::Journal:
            if (auto w = openJournal()) face_.openChild(std::move(w));
            return;
        case Command::Compare:
            comparePrevious();
            return;
        case Command::OpenRecording:
            openRecording();
            return;
        case Command::Manual:
            openManual();
            return;
    }
}

void MainWindow::comparePrevious() {
    if (!link_ || ended_) return;
    if (previousShown_) {
        previousShown_ = false;
        stopLoading_ = true;
        sources_.previous = nullptr;
        repaintAll();
        return;
    }
    // The car as the journal knows it: its first two identification texts.
    const auto texts = linkData.identText.getAll();
    const std::string vin = cp1251::toUtf8(klink::shownText(texts[0]));
    const std::string ecuNumber = cp1251::toUtf8(klink::shownText(texts[1]));
    if (vin.empty() || ecuNumber.empty()) {
        if (reportError) reportError("the car is not known yet: its identification has not been read");
        return;
    }
    const std::string journalPath = journalFile();
    std::string why;
    const auto j = platform::fileExists(journalPath) ? journal::Journal::open(journalPath, why) : nullptr;
    const std::string mine = platform::absolutePath(options_.replay.empty() ? options_.record : options_.replay);
    const journal::Visit before = j ? j->previousDrive(vin, ecuNumber, started_.unixMs, mine) : journal::Visit{};
    if (before.id == 0) {
        if (reportError) reportError(!why.empty() ? why : "the journal has no earlier recorded drive of this car");
        return;
    }
    previousShown_ = true;
    // Read on a thread of its own: an hours-long recording takes seconds.
    if (loader_.joinable()) loader_.join();
    stopLoading_ = false;
    loader_ = std::thread([this, path = before.recording] {
        auto drive = std::make_shared<ecu::SessionHistory>();
        platform::WallTime started;
        const std::string failure = readRecordedDrive(path, *drive, started, [this] { return stopLoading_.load(); });
        post([this, drive, started, failure] {
            if (!previousShown_ || shutDown_) return;
            if (!failure.empty()) {
                previousShown_ = false;
                if (reportError) reportError(failure);
                return;
            }
            previous_ = drive;
            previousStarted_ = started;
            sources_.previous = previous_.get();
            sources_.previousLabel =
                cp1251::fromUtf8("прошлая поездка " + platform::russianTime(started).substr(0, 16));
            repaintAll();
        });
    });
}

std::unique_ptr<ui::WindowLogic> MainWindow::openJournal() {
    if (!link_) return nullptr;
    JournalWindow::Acts acts;
    acts.review = [this](const std::string& recording) { review(recording); };
    acts.openReport = [this](const std::string& report) {
        const std::string failure = face_.openDocument(report);
        if (!failure.empty() && reportError) reportError(failure);
    };
    acts.openRecording = [this] { openRecording(); };
    auto w = std::make_unique<JournalWindow>(journalFile(), std::move(acts));
    w->open();
    return w;
}

std::string MainWindow::journalFile() const {
    return options_.journalPath.empty() ? journal::defaultPath() : options_.journalPath;
}

void MainWindow::openRecording() {
    const std::string journalPath = journalFile();
    // The journal's recordings, where there are any yet; a folder not there
    // would be read by the dialog as a file's name.
    const std::string folder = journal::recordingsFolder(journalPath);
    const std::string path = face_.chooseFile(
        {false, "Открыть запись", platform::isFolder(folder) ? folder : "", "", ui::FileKind::Recording});
    if (!path.empty()) review(path);
}

void MainWindow::review(const std::string& recording) {
    std::vector<std::string> args = {"--replay", recording, "--speed", "all"};
    if (!options_.settingsPath.empty()) args.insert(args.end(), {"--settings", options_.settingsPath});
    if (options_.anyScreen) args.push_back("--any-screen");
    if (!startTester) return;
    const std::string failure = startTester(args);
    if (!failure.empty() && reportError) reportError(failure);
}

void MainWindow::openManual() {
    if (options_.manualPath.empty()) {
        if (reportError) reportError("the manual is not installed: " + std::string(kManualName) + " was not found");
        return;
    }
    const std::string failure = face_.openDocument(options_.manualPath);
    if (!failure.empty() && reportError) reportError(failure);
}

std::string findManual(const std::string& programDir) {
    if (programDir.empty()) return {};
    // Beside the program (the Windows setup), in its build folder, or where
    // the package puts it; named without "..", in the system's separators.
    for (const std::string& candidate : {programDir + "/" + kManualName, programDir + "/doc/" + kManualName,
                                         programDir + "/../share/m797-tester/" + kManualName})
        if (platform::fileExists(candidate))
            return std::filesystem::path(candidate).lexically_normal().make_preferred().string();
    return {};
}

bool MainWindow::enabled(ui::Command command) const {
    using ui::Command;
    switch (command) {
        case Command::Live:
            return !review_.ordinary();
        case Command::Cursor:
        case Command::SecondCursor:
        case Command::SaveTable:
            return !session_.empty();
        case Command::ClearCursors:
            return review_.cursorA() || review_.cursorB();
        case Command::SaveRange:
            return rangeChosen();
        default:
            return command != Command::None;
    }
}

std::vector<ui::MenuItem> MainWindow::chartMenu() const {
    std::vector<ui::MenuItem> items;
    for (const ui::ChartMenuEntry& e : ui::chartMenuEntries()) {
        ui::MenuItem item;
        if (e.command != ui::Command::None) {
            item.id = static_cast<int>(e.command);
            item.text = e.command == ui::Command::Pause && !review_.following() ? "Продолжить" : e.text;
            item.keys = ui::chordText(ui::chordOf(e.command));
            item.enabled = enabled(e.command);
            item.checkable = e.command == ui::Command::Compare;
            item.checked = item.checkable && previousShown_;
        }
        items.push_back(std::move(item));
    }
    if (replaying()) {
        ui::MenuItem speed;
        speed.text = ui::kReplaySpeedMenu;
        for (int s : ui::replaySpeeds()) {
            ui::MenuItem entry;
            entry.id = ui::kSpeedItem + s;
            entry.text = ui::replaySpeedText(s);
            entry.checkable = true;
            entry.checked = replaySpeed_ == s;
            speed.submenu.push_back(std::move(entry));
        }
        items.push_back(std::move(speed));
    }
    return items;
}

void MainWindow::menuChosen(int id, int x) {
    if (id >= ui::kSpeedItem) {
        setReplaySpeed(id - ui::kSpeedItem);
        return;
    }
    const auto command = static_cast<ui::Command>(id);
    if (id > 0 && id <= static_cast<int>(ui::Command::Manual) && enabled(command)) run(command, x);
}

void MainWindow::chartWheel(int notches, bool ctrl) {
    if (!link_ || ended_ || notches == 0) return;
    if (ctrl)
        reviewChanged(review_.zoom(notches));
    else
        reviewChanged(review_.scroll(notches, oldestMs(), newestMs()));
}

void MainWindow::chartClick(int x, bool second) { run(second ? ui::Command::SecondCursor : ui::Command::Cursor, x); }

void MainWindow::setReplaySpeed(int speed) {
    if (!replay_ || speed == replaySpeed_) return;
    replaySpeed_ = speed;
    replay_->setSpeed(speed);
}

std::string MainWindow::writeTable(const std::string& path, bool rangeOnly, ecu::CsvStyle style) const {
    std::size_t from = session_.first(), to = session_.end();
    if (rangeOnly) {
        if (!rangeChosen()) return "set two cursors first";
        const std::size_t a = session_.nearest(*review_.cursorA()), b = session_.nearest(*review_.cursorB());
        from = std::min(a, b);
        to = std::max(a, b) + 1;
    }
    std::FILE* f = platform::openFile(path, "wb");
    if (!f) return path + ": the table could not be written: " + std::strerror(errno);
    bool ok = std::fputs(ecu::csvHeader(style).c_str(), f) >= 0;
    // The logger's rows: decoded with a decimal point whatever the window
    // shows; the style writes its own.
    ecu::PassRecord r;
    ecu::LiveData d;
    for (std::size_t i = from; ok && i < to; ++i) {
        if (!session_.decode(i, '.', d, &r)) continue;
        ok = std::fputs(ecu::csvRow(r.pass, r.timeMs, started_.later(r.timeMs), d, style).c_str(), f) >= 0;
    }
    const int err = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) return path + ": the table could not be written: " + std::strerror(errno);
    if (!ok) return path + ": the table could not be written: " + std::strerror(err);
    return {};
}

bool MainWindow::commandMayGo() {
    if (linkData.startEnabled.load(std::memory_order_acquire) == 1) {
        if (reportError) reportError("the link is not running: nothing was sent to the ECU; press Start first");
        return false;
    }
    // Kept for a connection set up again, a command would go whenever that
    // is, perhaps with its window long closed.
    if (!link_->linkUp()) {
        if (reportError)
            reportError("the link to the ECU is being set up: nothing was sent to the ECU; try again once data comes");
        return false;
    }
    return true;
}

void MainWindow::noteAction(const std::string& kind, const std::string& what) {
    const double at = static_cast<double>(newestMs() - oldestMs()) / 1000;
    if (kind != "codes-read") actions_.push_back({at, what});
    visit_.action(kind, what);
}

namespace {

// Why a command was not done, in the technician's words.
std::string refusal(klink::CommandAnswer answer, int code) {
    if (answer == klink::CommandAnswer::Silent) return "ЭБУ не ответил";
    if (answer == klink::CommandAnswer::Dropped) return "связь с ЭБУ прервалась раньше, чем команда ушла";
    if (answer == klink::CommandAnswer::Unheard)
        return "команда не дошла до ЭБУ: адаптер её не вернул (проверьте адаптер)";
    if (answer == klink::CommandAnswer::Garbled) return "ответ ЭБУ не разобран";
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", code & 0xFF);
    const char* why = code == 0x21   ? "занят, просит повторить"
                      : code == 0x22 ? "условия не позволяют"
                      : code == 0x12 ? "не поддерживает"
                      : code == 0x11 ? "не знает такой команды"
                      : code == 0x31 ? "значение вне допустимого"
                      : code == 0x33 ? "доступ закрыт"
                                     : nullptr;
    return std::string("ЭБУ отказал") + (why ? std::string(": ") + why : std::string()) + " (код " + hex + ")";
}

// Silence, or an answer that cannot be read, says nothing of what the ECU
// did: the command may well have been carried out (an ECU that resets
// itself may not answer). Such a command is noted as not confirmed rather
// than not done: "… не выполнено" becomes "… не подтверждено", in the
// phrase's own gender.
std::string unconfirmed(std::string text) {
    static const std::pair<const char*, const char*> kWords[] = {
        {"не выполнено", "не подтверждено"}, {"не выполнена", "не подтверждена"}, {"не выполнен", "не подтверждён"}};
    for (const auto& [from, to] : kWords)
        if (const std::size_t at = text.rfind(from); at != std::string::npos)
            return text.replace(at, std::string_view(from).size(), to);
    return text;
}

}  // namespace

void MainWindow::commandAnswered(const klink::CommandKey& command, klink::CommandAnswer answer, int code) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        first = answers_.empty();
        answers_.push_back({command, answer, code});
    }
    if (first) post([this] { takeAnswers(); });
}

void MainWindow::takeAnswers() {
    std::vector<Answer> answers;
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        answers.swap(answers_);
    }
    std::vector<AwaitedAction> again;
    for (const Answer& a : answers) {
        if (a.command.adjusts()) {
            // An adjustment's frame carries the newest value asked: the
            // answer is the last press of that value's, and the presses of
            // the output before it went out with it or not at all.
            const auto last = std::find_if(awaited_.rbegin(), awaited_.rend(),
                                           [&](const AwaitedAction& w) { return w.command == a.command; });
            if (last == awaited_.rend()) continue;
            const AwaitedAction answered = *last;
            awaited_.erase(std::remove_if(awaited_.begin(), last.base(),
                                          [&](const AwaitedAction& w) {
                                              return w.command.adjusts() && w.command.parameter == a.command.parameter;
                                          }),
                           last.base());
            if (noteAnswered(answered, a)) again.push_back(answered);
            continue;
        }
        // One command may carry several actions asked before it went out
        // (a key pressed twice): the answer is theirs alike, and said once.
        bool said = false;
        for (auto it = awaited_.begin(); it != awaited_.end();) {
            if (!(it->command == a.command)) {
                ++it;
                continue;
            }
            if (!said && noteAnswered(*it, a)) again.push_back(*it);
            said = true;
            it = awaited_.erase(it);
        }
    }
    awaited_.insert(awaited_.end(), again.begin(), again.end());
}

bool MainWindow::noteAnswered(const AwaitedAction& action, const Answer& a) {
    if (action.answered)
        action.answered(a.answer == klink::CommandAnswer::Refused || a.answer == klink::CommandAnswer::Dropped ||
                        a.answer == klink::CommandAnswer::Unheard);
    if (a.answer == klink::CommandAnswer::Done) {
        noteAction(action.kind, action.done);
        return false;
    }
    // Not done, or not known to be: noted, and said at once, in a box while
    // the window stands (an output may still be under the test).
    const bool unknown = a.answer == klink::CommandAnswer::Silent || a.answer == klink::CommandAnswer::Garbled;
    const std::string failed =
        (unknown ? unconfirmed(action.failed) : action.failed) + ": " + refusal(a.answer, a.code);
    noteAction(action.kind + "-failed", failed);
    reportFromAnyThread(failed, "");
    // An output left to the tester: the hand-back that confirms it, in a
    // later pass or window, is noted too.
    return action.command.handsBack();
}

void MainWindow::identificationRead() {
    // The link's thread: the texts of the replies that came whole go to the
    // journal on the user-interface thread. The car is known by its first
    // two texts.
    std::vector<std::string> texts(klink::kIdentTextCount);
    const auto all = linkData.identText.getAll();
    for (std::size_t k = 0; k < all.size(); ++k)
        if (link_->identGaps()[ecu::identSourceReply(k)].empty()) texts[k] = cp1251::toUtf8(klink::shownText(all[k]));
    if (texts[0].empty() || texts[1].empty()) return;
    post([this, texts] { visit_.car(texts); });
}

std::string MainWindow::writeReport(const std::string& path) const {
    const diagnosis::Drive drive = diagnosis::readDrive(session_);
    diagnosis::ReportInput in;
    in.program = "m797-tester " M797_VERSION;
    // What the link shares with this thread: the identification texts (a
    // reply that did not come whole left its texts empty) and the last
    // whole answer to the code request. The link may be running.
    const auto texts = linkData.identText.getAll();
    for (std::size_t k = 0; k < texts.size(); ++k)
        if (const std::string shown = klink::shownText(texts[k]); !shown.empty())
            in.car.emplace_back(ecu::identFieldName(k), cp1251::toUtf8(shown));
    in.start = platform::isoTime(started_.later(oldestMs()));
    in.seconds = drive.seconds();
    in.passes = drive.rows.size();
    if (!session_.empty() && session_.first() > 0) {
        in.droppedPasses = session_.first();
        in.droppedSeconds = static_cast<double>(oldestMs()) / 1000;
    }
    in.checks = diagnosis::judge(drive);
    in.replayed = replay_ != nullptr;
    const klink::DtcReplyBuffer::Bytes codes = linkData.command.dtcReply.copy();
    in.codes = diagnosis::reportCodes(codes.data(), codes.size());
    using Codes = diagnosis::ReportInput::Codes;
    switch (linkData.command.dtcReply.state()) {
        case klink::DtcReplyBuffer::State::NotRead:
            in.codesState = Codes::NotRead;
            break;
        case klink::DtcReplyBuffer::State::Read:
            in.codesState = Codes::Read;
            break;
        case klink::DtcReplyBuffer::State::Cleared:
            in.codesState = Codes::Cleared;
            break;
    }
    in.actions = actions_;
    if (const ecu::SessionHistory* before = previousDrive()) {
        const diagnosis::Drive earlier = diagnosis::readDrive(*before);
        in.previous = diagnosis::PreviousDrive{
            platform::isoTime(previousStarted_.later(before->empty() ? 0 : before->timeAt(before->first()))),
            earlier.seconds(), earlier.rows.size(), diagnosis::judge(earlier)};
    }
    return diagnosis::writeReport(path, in, drive);
}

std::string MainWindow::panelWords(int k) const {
    if (k == 6) return linkData.statusText.get();
    std::string words;
    if (k == 7)
        for (const std::string& t : linkData.identText.getAll()) words += klink::shownText(t) + "\n";
    return words;
}

void MainWindow::exportDrive(Export what) {
    if (!link_ || ended_) return;
    const bool picture = what == Export::Charts || what == Export::Window;
    const bool report = what == Export::Report;
    if (what == Export::RangeTable && !rangeChosen()) {
        if (reportError) reportError("set two cursors first");
        return;
    }
    if (what == Export::Table && session_.empty()) {
        if (reportError) reportError("no poll pass has been measured yet: the table would be empty");
        return;
    }
    // The picture as it is now, before any dialog covers it.
    if (picture) {
        const display::PanelPlace& c = display::kChartsArea;
        const ui::WindowDescription& d = ui::mainWindow();
        face_.capturePicture(what == Export::Window ? ui::Rect{0, 0, d.width, d.height}
                                                    : ui::Rect{c.x, c.y, c.width, c.height});
    }
    const char* title = what == Export::Charts       ? "Сохранить графики"
                        : what == Export::Window     ? "Сохранить окно"
                        : what == Export::RangeTable ? "Сохранить участок между курсорами"
                        : report                     ? "Отчёт о поездке"
                                                     : "Сохранить историю";
    std::string name = platform::isoTime(started_.later(newestMs())).substr(0, 19);
    for (char& ch : name)
        if (ch == ':' || ch == 'T') ch = ch == 'T' ? '_' : '-';
    name = "m797-" + name + (picture ? ".png" : report ? "-отчёт.html" : ".csv");
    const std::string folder = store_.readText(stored::kExportKey, "folder").value_or("");
    const ui::FileKind kind = picture ? ui::FileKind::Picture : report ? ui::FileKind::Report : ui::FileKind::Table;
    const std::string path = face_.chooseFile({true, title, folder, name, kind});
    if (path.empty()) return;
    // The program's own files are never written over: the drive's recording
    // (being made, or replayed), the journal, the settings.
    for (const std::string& own : {options_.record, options_.replay, journalFile(), store_.path()})
        if (!own.empty() && platform::sameFile(path, own)) {
            if (reportError)
                reportError(path +
                            ": the program's own file (the drive's recording, the journal or the settings); nothing "
                            "was written, choose another name");
            return;
        }
    std::string failure;
    if (picture)
        failure = face_.saveCapturedPicture(path);
    else if (report)
        failure = writeReport(path);
    else
        failure = writeTable(path, what == Export::RangeTable, stored::loadTableStyle(store_));
    // The next dialog opens where a file was saved, not where one could not be.
    const std::size_t slash = path.find_last_of("/\\");
    if (failure.empty() && slash != std::string::npos)
        store_.writeText(stored::kExportKey, "folder", path.substr(0, slash));
    // The report is read at once, in the system's browser.
    if (failure.empty() && report) {
        visit_.report(path);
        failure = face_.openDocument(path);
    }
    if (!failure.empty() && reportError) reportError(failure);
}

void MainWindow::end(int exitCode) {
    if (ended_) return;
    ended_ = true;
    // The colours are kept however the program ends: "Выход" is the only
    // visible way out of the frameless window.
    // Only the colours changed here: another tester's stay as it left them.
    if (created_) stored::saveColourScheme(store_, colourScheme, &coloursLoaded_);
    shutDown();
    face_.quit(exitCode);
}

void MainWindow::serveReleases() {
    // An output the user left switched on is released before the link
    // stops, while the link runs and can still reach the ECU. The release
    // waits for the pass under way; 1.5 s once fell short on a loaded test
    // machine. A link that loses the ECU ends the wait at once.
    if (!link_ || linkData.startEnabled.load(std::memory_order_acquire) == 1) return;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (linkData.command.releasePending() && link_->linkUp() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void MainWindow::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    // Every open window closes through its own close handling first; then
    // no more ticks, the link leaves at its next exchange boundary, is
    // joined, and the port is closed. Nothing more is sent.
    face_.closeChildren();
    serveReleases();
    timers_.killAll();  // also joins a timer that stopped itself
    if (link_) link_->shutdown();
    takeAnswers();  // the last hand-backs' answers
    stopLoading_ = true;
    if (loader_.joinable()) loader_.join();
    endVisit();
}

}  // namespace logic
