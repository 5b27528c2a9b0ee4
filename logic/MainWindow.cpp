// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/MainWindow.h"

#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

#include "logic/StoredSettings.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"

namespace logic {

MainWindow::MainWindow(const TesterOptions& options, lines::MadeLine line, MainWindowFace& face)
    : face_(face), options_(options),
      store_(options.settingsPath.empty() ? platform::SettingsStore::defaultPath() : options.settingsPath),
      line_(std::move(line.line)), recorder_(line.recorder), canCommand_(line.canCommand),
      portChoosable_(line.portChoosable), reconnects_(line.reconnects) {
    // The window's boxes speak Russian whatever the locale.
    reportError = [this](const std::string& text) { face_.showError(platform::forWindow(text)); };
    // The store reports once when it has to leave its file alone.
    store_.setProblemReport([this](const std::string& text) {
        if (reportError) reportError(text);
    });
}

MainWindow::~MainWindow() {
    // The face shuts down first (its child windows need it); this is the
    // last word for a face that did not.
    shutDown_ = true;
    timers_.killAll();
    if (link_) link_->shutdown();
}

std::string MainWindow::begin(const std::string& decimalPoint) {
    chosenDevice_ = options_.port;
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
    // The histories start with value 0 and age i (HistoryStore does that).
    liveData.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    sampler_ = std::make_unique<display::Sampler>(
        linkData, liveData, histories, [this](display::Sampler::Repaint r) { requestRepaint(r); },
        [this] { timers_.killEvent(timerId.load()); });
    sources_.live = &liveData;
    sources_.histories = &histories;
    sources_.link = &linkData;
    sources_.chartParameter = &chartParameter;
    sources_.colours = &colourScheme;
    // The simulated car answers where the first port would.
    sources_.portName = display::portLabel(portChoosable_ ? options_.port : std::string("/dev/ttyS0"),
                                           [this](const std::string& t) { return face_.stripTextWidth(t); });
    return {};
}

void MainWindow::created() {
    stored::loadStoredSettings(store_, chartParameter, colourScheme, reportError);
    created_ = true;
    // The panels painted when the window first showed, before preset 1 was
    // read (and again under any box the reading raised): now they show it.
    if (!ended_) repaintAll();
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
    const std::string device = options_.portGiven || stored.device.empty() ? options_.port : stored.device;
    if (device == chosenDevice_) return;
    chosenDevice_ = device;
    line_->setDevice(device);
    link_->reopenPort();
    sources_.portName = display::portLabel(device, [this](const std::string& t) { return face_.stripTextWidth(t); });
}

void MainWindow::portFailed(const std::string& device, const std::string& reason) {
    reportFromAnyThread(reason, device);
}

void MainWindow::reportFromAnyThread(const std::string& text, const std::string& where) {
    // The standard error at once, in the terminal's language; the box on the
    // user-interface thread, in the window's.
    const std::string head = where.empty() ? std::string() : where + ": ";
    std::fprintf(stderr, "m797-tester: %s%s\n", head.c_str(), platform::forTerminal(text).c_str());
    face_.post([this, message = head + platform::forWindow(text)] {
        if (reportError) reportError(message);
    });
}

void MainWindow::adapterNote(const std::string& text) {
    std::fprintf(stderr, "m797-tester: %s: %s\n", line_->name().c_str(), platform::forTerminal(text).c_str());
}

void MainWindow::start() {
    if (!link_ || ended_) return;
    choosePort();
    // "Старт" disabled means running. It changes before the link resumes: a
    // link that fails at once (a port that cannot be opened) sets it back,
    // and the sampler's first tick then stops the timer.
    linkData.startEnabled.store(0, std::memory_order_release);
    link_->start();
    timerId = timers_.setEvent(timerPeriod, 10, [this] { sampler_->tick(); });
    face_.showRunning(true);
}

void MainWindow::stop() {
    if (!link_) return;
    link_->pause();
    stopTimer();
    linkData.startEnabled.store(1, std::memory_order_release);
    face_.showRunning(false);
}

void MainWindow::stopTimer() { timers_.killEvent(timerId.load()); }

void MainWindow::linkStopped() {
    // The link's thread: the buttons change on the user-interface thread.
    // A replay that ran out keeps its last picture and says so.
    if (line_->ended()) linkData.statusText.set(cp1251::fromUtf8("Запись закончилась."));
    face_.post([this] { face_.showRunning(linkData.startEnabled.load(std::memory_order_acquire) != 1); });
}

void MainWindow::selectPreset(int n) {
    if (!link_) return;
    stored::selectParameterSet(store_, n, chartParameter, reportError);
}

int MainWindow::functionKey(int n) {
    if (!link_ || n < 1 || n > 12) return 0;
    selectPreset(n);
    return n;
}

bool MainWindow::openErrors() {
    if (!link_) return false;
    klink::post(linkData.command.dtcReadRequest);
    return true;
}

bool MainWindow::openControl() {
    // A replay has no car to command: no actuator tests, no resets.
    if (!link_ || !canCommand_) return false;
    klink::post(linkData.command.controlActive);
    klink::post(linkData.command.actuator[0].reportRequest);
    return true;
}

void MainWindow::requestRepaint(display::Sampler::Repaint what) {
    // The timer's thread: handed to the panels' thread, at most one request
    // of each kind waiting, so a slow display never builds a backlog.
    std::atomic<bool>& pending = what == display::Sampler::Repaint::All ? repaintAllPending_ : repaintStripPending_;
    if (pending.exchange(true)) return;
    face_.post([this, what, &pending] {
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

void MainWindow::end(int exitCode) {
    if (ended_) return;
    ended_ = true;
    // The colours are kept however the program ends: "Выход" is the only
    // visible way out of the frameless window.
    if (created_) stored::saveColourScheme(store_, colourScheme);
    shutDown();
    face_.quit(exitCode);
}

void MainWindow::serveReleases() {
    // An output the user left switched on is released before the link
    // stops, while the link runs and can still reach the ECU.
    if (!link_ || linkData.startEnabled.load(std::memory_order_acquire) == 1) return;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
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
}

}  // namespace logic
