// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's child windows on Windows: "Настройка", "Ошибки",
// "Управление" with its confirmations, and the screen notice. Each is owned
// by the main window, closes through one path and gives the focus to its
// harmless control when it opens.
#pragma once

#include <windows.h>

#include <functional>

#include "logic/MainWindow.h"
#include "win32/Face.h"

namespace winface {

ChildWindow* makeSettingsWindow(HWND owner, logic::MainWindow& main, std::function<void()> redraw);
ChildWindow* makeErrorCodesWindow(HWND owner, logic::MainWindow& main);
ChildWindow* makeControlWindow(HWND owner, logic::MainWindow& main);
// "Установите разрешение экрана 1024 на 768 точек !" for 4 s; then the program ends.
void showResolutionNotice();

}  // namespace winface
