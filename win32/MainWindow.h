// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's Windows face: the background, the seven drawing panels,
// the preset and command buttons, the child windows and the boxes, over
// logic::MainWindow, which owns the data area, the link and the sampler and
// decides what each press does.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "logic/MainWindow.h"
#include "win32/Described.h"
#include "win32/glpanel/TOpenGLPanel.h"

namespace winface {

class ChildWindow;

class MainWindow : private logic::MainWindowFace {
public:
    MainWindow(const logic::TesterOptions& options, lines::MadeLine line);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes and shows the window. False with a box said when it cannot.
    bool show();
    HWND handle() const { return window_; }
    logic::MainWindow& logic() { return logic_; }

    // The window's own keys (F1..F12, looking back): true when taken. The
    // message loop asks before the dialog keys.
    bool takeKey(const MSG& msg);
    // Every way the program ends: see logic::MainWindow::end.
    void endProgram(int exitCode) { logic_.end(exitCode); }

private:
    static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT message(UINT msg, WPARAM wp, LPARAM lp);
    void buildPanels();
    void chartMessage(int k, UINT msg, WPARAM wp, LPARAM lp);
    void chartMenu(int k, int x);
    HWND boxOwner() const;

    // The logic's face.
    void wake() override;
    void showControls() override { controls_.show(logic_.controls()); }
    void repaintPanel(int k) override;
    void openChild(std::unique_ptr<logic::ui::WindowLogic> logic) override;
    void showError(const std::string& text) override;
    void closeChildren() override;
    void quit(int exitCode) override;
    int stripTextWidth(const std::string& text1251) const override;
    void capturePicture(const logic::ui::Rect& area) override;
    std::string saveCapturedPicture(const std::string& path) override;
    std::string openDocument(const std::string& path) override;
    std::string chooseFile(const FileDialog& d) override;

    logic::MainWindow logic_;
    HWND window_ = nullptr;
    Described controls_;
    HBITMAP background_ = nullptr;
    std::array<std::unique_ptr<wglpanel::TOpenGLPanel>, 7> panels_;
    std::array<std::wstring, 2> panelWords_;  // panels 6 and 7
    HBITMAP captured_ = nullptr;
    HWND focusBack_ = nullptr;  // the control the keyboard goes back to once the window is active again
};

}  // namespace winface
