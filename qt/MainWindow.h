// The main window: owns the shared data area, the link and the sampler, the
// seven drawing panels, the preset and command buttons.
#pragma once

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ecu/EcuDecoder.h"
#include "link/Com_Port.h"
#include "link/RecordingLine.h"
#include "logic/SharedData.h"
#include "logic/StoredSettings.h"
#include "logic/TesterOptions.h"
#include "painting/ChartView.h"
#include "painting/HistoryStore.h"
#include "painting/PaintGate.h"
#include "painting/Sampler.h"
#include "platform/SettingsStore.h"
#include "platform/TimerService.h"
#include "qt/glpanel/PaintStats.h"

namespace glpanel {
class TOpenGLPanel;
}

namespace qtface {

class ResolutionNotice;

class MainWindow : public QWidget, public logic::SharedData, public klink::LinkObserver {
public:
    // line: what the link talks through and what it allows (logic::makeLine
    // makes the one the options name; tests hand in a simulated line).
    MainWindow(const logic::TesterOptions& options, lines::MadeLine line);
    ~MainWindow() override;

    // True when the screen was not 1024 pixels wide and only the notice shows.
    bool showsNoticeOnly() const { return notice_ != nullptr; }

    // Handlers of the buttons.
    void StartClick();
    void StopClick();
    void ExitClick();
    // Every way the program ends ("Выход", the window's close, Ctrl+C,
    // termination, hang-up): the colours are stored, open windows close
    // through their own handling, outputs are released, the link stops; then
    // every event loop ends with exitCode.
    void endProgram(int exitCode);
    bool ended() const { return ended_; }
    void PresetClick(int n);
    // Pixels of a 1251 text in the flag strip's bold 11-pixel Arial.
    static int stripTextWidth(const std::string& text1251);
    // Redraws chart panels 1..5, 7 and 6 at once, in that order.
    void repaintPanels();

    glpanel::TOpenGLPanel* panel(int k) const { return panels_[static_cast<std::size_t>(k - 1)]; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QToolButton* presetButton(int n) const { return presetButtons_[static_cast<std::size_t>(n - 1)]; }
    QPushButton* commandButton(const QString& caption) const;
    klink::Com_Port& link() { return *link_; }
    platform::TimerService& timers() { return timers_; }

    // "Настройка", "Ошибки", "Управление": a new window each time, centred,
    // with the main window disabled until it closes. Returns the window.
    QWidget* SettingsClick();
    QWidget* ErrorsClick();
    QWidget* ControlClick();
    // How a failed settings read is reported; by default showError.
    std::function<void(const std::string&)> reportError;
    // The error box, belonging to the window in front.
    void showError(const std::string& text);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildPanels();
    void buildPresetBox();
    void buildCommandBox();
    void FormCreate();
    void refreshStartStop();
    void requestRepaint(display::Sampler::Repaint what);
    void stopTimer();
    void shutDown();
    void closeChildren();
    void serveReleases();
    template <typename Window>
    Window* showChild(Window* w);
    // Where a message box belongs: the window in front.
    QWidget* boxOwner() const;
    // A failure said on the standard error now and in a box soon, from the
    // link's thread or any other.
    void reportFromAnyThread(const std::string& text);
    // LinkObserver, on the link thread.
    void linkStopped() override;
    void portFailed(const std::string& device, const std::string& reason) override;
    void adapterNote(const std::string& text) override;
    void choosePort();

    logic::TesterOptions options_;
    platform::SettingsStore store_;
    std::unique_ptr<platform::SerialLine> line_;
    klink::WireRecorder* recorder_ = nullptr;
    bool canCommand_ = true;
    bool portChoosable_ = true;
    std::optional<klink::RecordingObserver> recordingObserver_;
    std::unique_ptr<ecu::EcuDecoder> decoder_;
    std::unique_ptr<klink::Com_Port> link_;
    platform::TimerService timers_;
    std::unique_ptr<display::Sampler> sampler_;
    display::DisplaySources sources_;
    std::array<glpanel::TOpenGLPanel*, 7> panels_{};
    std::array<QToolButton*, 12> presetButtons_{};
    QButtonGroup* presetGroup_ = nullptr;
    QFrame* commandBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* controlButton_ = nullptr;
    ResolutionNotice* notice_ = nullptr;
    std::vector<QPointer<QWidget>> children_;
    std::string chosenDevice_;
    platform::WakeMethod chosenWake_ = platform::WakeMethod::SlowByte;
    bool created_ = false;
    bool createPosted_ = false;
    bool ended_ = false;
    std::atomic<bool> repaintAllPending_{false};
    std::atomic<bool> repaintStripPending_{false};
    display::PaintStats paintStats_;
    display::PaintGate paintGate_;
};

}  // namespace qtface
