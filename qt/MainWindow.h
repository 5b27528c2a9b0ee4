// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's Qt face: the background, the seven drawing panels, the
// preset and command buttons, the child windows and the boxes, over
// logic::MainWindow, which owns the data area, the link and the sampler and
// decides what each press does.
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "logic/MainWindow.h"
#include "painting/PaintStats.h"
#include "qt/Described.h"
#include "qt/Keys.h"

namespace glpanel {
class TOpenGLPanel;
}

namespace qtface {

class MainWindow : public QWidget, public KeyTaker, private logic::MainWindowFace {
public:
    // line: what the link talks through and what it allows (logic::makeLine
    // makes the one the options name; tests hand in a simulated line).
    MainWindow(const logic::TesterOptions& options, lines::MadeLine line);
    ~MainWindow() override;

    // What the window does; the widgets below only show it.
    logic::MainWindow& logic() { return logic_; }

    // Handlers of the buttons.
    void StartClick() { logic_.start(); }
    void ExitClick() { endProgram(0); }
    // Every way the program ends: see logic::MainWindow::end.
    void endProgram(int exitCode) { logic_.end(exitCode); }
    bool ended() const { return logic_.ended(); }
    // Redraws chart panels 1..5, 7 and 6 at once, in that order.
    void repaintPanels() { logic_.repaintAll(); }
    // Pixels of a 1251 text in the flag strip's bold 11-pixel Arial.
    static int measureStripText(const std::string& text1251);

    glpanel::TOpenGLPanel* panel(int k) const { return panels_[static_cast<std::size_t>(k - 1)]; }
    QPushButton* startButton() const { return controls_.get<QPushButton>(logic::ui::kStart); }
    QPushButton* stopButton() const { return controls_.get<QPushButton>(logic::ui::kStop); }
    QToolButton* presetButton(int n) const { return controls_.get<QToolButton>(logic::ui::kPreset1 + n - 1); }
    QPushButton* commandButton(const QString& caption) const;

    // "Настройка", "Ошибки", "Управление": a new window each time, centred,
    // with the main window disabled until it closes. Returns the window.
    QWidget* SettingsClick();
    QWidget* ErrorsClick();
    QWidget* ControlClick();
    // The error box, belonging to the window in front.
    void showError(const std::string& text) override;
    // "О программе": the program and the window's keys.
    QWidget* AboutClick() { return showChild(logic_.openAbout()); }
    // The charts' menu, as the right mouse button opens it over chart slot
    // k at pixel column x (returned, shown; tests close it).
    QMenu* chartMenu(int k, int x);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildPanels();
    // The window's own keys (see logic::MainWindow::press).
    bool take(const logic::ui::Chord& chord, bool repeat) override;
    void watchChartSurfaces();
    QWidget* showChild(std::unique_ptr<logic::ui::WindowLogic> logic);
    // Where a message box belongs: the window in front.
    QWidget* boxOwner() const;
    // The logic's face.
    void wake() override;
    void showControls() override { controls_.show(logic_.controls()); }
    void repaintPanel(int k) override;
    void openChild(std::unique_ptr<logic::ui::WindowLogic> window) override;
    void closeChildren() override;
    void quit(int exitCode) override;
    int stripTextWidth(const std::string& text1251) const override { return measureStripText(text1251); }
    void capturePicture(const logic::ui::Rect& area) override;
    std::string saveCapturedPicture(const std::string& path) override;
    std::string openDocument(const std::string& path) override;
    std::string chooseFile(const FileDialog& d) override;

    logic::MainWindow logic_;
    std::array<glpanel::TOpenGLPanel*, 7> panels_{};
    Described controls_;
    std::vector<QPointer<QWidget>> children_;  // the child windows opened
    bool createPosted_ = false;
    bool focusShown_ = false;
    int wakeFd_ = -1;
    display::PaintStats paintStats_;
    QImage captured_;
};

}  // namespace qtface
