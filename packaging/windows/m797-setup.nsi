; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows setup of both programs: the tester with its Start-menu entry
; and, if chosen, a desktop shortcut, the logger, the manual (with its
; Start-menu entry "Руководство"), the licence and the notices of what is
; linked into the programs, and an uninstaller. 64-bit
; and Unicode: the default 32-bit setup does not install the 64-bit
; programs.
; makensis -DVERSION=1.0.0 -DPUBLISHER=<name> -DBUILD=<folder of the .exe files and texts>
;          -DSOURCE=<the sources> -DOUTFILE=<setup.exe>
Unicode true
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

Name "M7.9.7 tester ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\M797 Tester"
InstallDirRegKey HKLM "Software\M797 Tester" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText " "
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "M7.9.7 tester"
VIAddVersionKey /LANG=1049 "FileDescription" "M7.9.7 tester setup"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "GNU GPL 3.0 or later"

!define MUI_ICON "${SOURCE}\win32\m797.ico"
!define MUI_UNICON "${SOURCE}\win32\m797.ico"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\M797 Tester"
; Most screens are not 1024 pixels wide: the tester starts on any.
!define MUI_FINISHPAGE_RUN "$INSTDIR\m797-tester.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "--any-screen"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить M7.9.7 тестер"
!insertmacro MUI_PAGE_LICENSE "${BUILD}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; A program that still runs cannot be replaced or removed: its file stays
; busy, and a setup or an uninstaller that went on would leave it behind
; while saying it was done. The user is asked to close it; a silent run
; gives up, with exit code 2.
!macro ProgramsClosed un
Function ${un}programsClosed
  InitPluginsDir
  retry:
  ; Both copied aside first: the one that could go while the other runs
  ; comes back, so that nothing is left half removed.
  CopyFiles /SILENT "$INSTDIR\m797-tester.exe" "$PLUGINSDIR"
  CopyFiles /SILENT "$INSTDIR\m797-log.exe" "$PLUGINSDIR"
  ClearErrors
  Delete "$INSTDIR\m797-tester.exe"
  Delete "$INSTDIR\m797-log.exe"
  IfErrors 0 closed
  IfFileExists "$INSTDIR\m797-tester.exe" +2
  CopyFiles /SILENT "$PLUGINSDIR\m797-tester.exe" "$INSTDIR"
  IfFileExists "$INSTDIR\m797-log.exe" +2
  CopyFiles /SILENT "$PLUGINSDIR\m797-log.exe" "$INSTDIR"
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
    "Тестер или регистратор запущен из папки $INSTDIR. Закройте его и нажмите «Повтор»." /SD IDCANCEL IDRETRY retry
  !if "${un}" == "un."
    Abort "Программа запущена из папки $INSTDIR: удаление прервано, ничего не удалено."
  !else
    Abort "Программа запущена из папки $INSTDIR: установка прервана, ничего не изменено."
  !endif
  closed:
FunctionEnd
!macroend
!insertmacro ProgramsClosed ""
!insertmacro ProgramsClosed "un."

Section "Программы" SecPrograms
  SectionIn RO
  Call programsClosed
  ; A copy installed before in another folder goes, by its own uninstaller
  ; (the user's settings and journal stay): two copies left one that no
  ; uninstall entry named, and its desktop shortcut.
  ReadRegStr $0 HKLM "Software\M797 Tester" "InstallDir"
  StrCmp $0 "" previousGone
  StrCmp $0 $INSTDIR previousGone
  IfFileExists "$0\uninstall.exe" 0 previousGone
  ExecWait '"$0\uninstall.exe" /S _?=$0' $1
  StrCmp $1 0 0 previousStays
  Delete "$0\uninstall.exe"
  RMDir "$0"
  Goto previousGone
  ; Two copies, one without its uninstall entry, is worse than none new.
  previousStays:
  MessageBox MB_OK|MB_ICONEXCLAMATION \
    "Прежняя установка в папке $0 не удалена: закройте запущенные из неё программы и запустите установку снова." \
    /SD IDOK
  Abort "Прежняя установка в папке $0 не удалена: установка прервана."
  previousGone:
  ; The desktop shortcut stays only where it is chosen again (below).
  Delete "$DESKTOP\M7.9.7 тестер.lnk"
  SetOutPath "$INSTDIR"
  File "${BUILD}\m797-tester.exe"
  File "${BUILD}\m797-log.exe"
  File "${BUILD}\LICENSE.txt"
  File "${BUILD}\THIRD-PARTY-NOTICES.txt"
  File "${BUILD}\manual-ru.html"
  File "${BUILD}\report-schema.json"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Most screens are not 1024 pixels wide: the entry starts on any.
  CreateDirectory "$SMPROGRAMS\M7.9.7"
  CreateShortcut "$SMPROGRAMS\M7.9.7\M7.9.7 тестер.lnk" "$INSTDIR\m797-tester.exe" "--any-screen" \
    "$INSTDIR\m797-tester.exe" 0
  CreateShortcut "$SMPROGRAMS\M7.9.7\Руководство.lnk" "$INSTDIR\manual-ru.html"
  CreateShortcut "$SMPROGRAMS\M7.9.7\Удалить.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\M797 Tester" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "M7.9.7 tester"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\manual-ru.html"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\m797-tester.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The journal's recordings (.m797) open in the tester, for review.
  WriteRegStr HKLM "Software\Classes\.m797" "" "M797Tester.Recording"
  WriteRegStr HKLM "Software\Classes\M797Tester.Recording" "" "Запись поездки M7.9.7"
  WriteRegStr HKLM "Software\Classes\M797Tester.Recording\DefaultIcon" "" "$INSTDIR\m797-tester.exe,0"
  WriteRegStr HKLM "Software\Classes\M797Tester.Recording\shell\open\command" "" \
    '"$INSTDIR\m797-tester.exe" --any-screen "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Ярлык на столе" SecDesktop
  CreateShortcut "$DESKTOP\M7.9.7 тестер.lnk" "$INSTDIR\m797-tester.exe" "--any-screen" "$INSTDIR\m797-tester.exe" 0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPrograms} "Тестер M7.9.7 с окном, регистратор m797-log, лицензия и уведомления о сторонних компонентах."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "Ярлык тестера на рабочем столе."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  ; The user's settings (HKEY_CURRENT_USER\VELKOR), recordings and journal stay.
  Call un.programsClosed
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\manual-ru.html"
  Delete "$INSTDIR\report-schema.json"
  Delete "$DESKTOP\M7.9.7 тестер.lnk"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\M7.9.7\M7.9.7 тестер.lnk"
  Delete "$SMPROGRAMS\M7.9.7\Руководство.lnk"
  Delete "$SMPROGRAMS\M7.9.7\Удалить.lnk"
  RMDir "$SMPROGRAMS\M7.9.7"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\M797 Tester"
  ; The recordings' type, and their ending where it is still ours.
  DeleteRegKey HKLM "Software\Classes\M797Tester.Recording"
  ReadRegStr $0 HKLM "Software\Classes\.m797" ""
  StrCmp $0 "M797Tester.Recording" 0 +2
  DeleteRegKey HKLM "Software\Classes\.m797"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
