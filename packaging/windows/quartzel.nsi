; SPDX-License-Identifier: GPL-3.0-or-later
;
; The installer of Quartzel for 64-bit Windows 10 and 11.
; packaging/windows/CMakeLists.txt runs makensis with VERSION, PUBLISHER,
; PROGRAM (the built quartzel.exe), ICON, LICENSE and OUTFILE defined.
;
; Installed for every user of the machine under Program Files (with the
; administrator's rights), or for the installing user alone under
; %LOCALAPPDATA%\Programs (no rights asked), with a Start menu entry and an
; entry in "Apps" (Programs and Features) that uninstalls it. /S installs and
; uninstalls without asking: for every user when the installer has the
; administrator's rights, as before, and for the user alone with
; /S /CurrentUser. Each user's settings are the user's own and stay when the
; program goes.
;
; A copy of the program that runs keeps its file from being replaced or
; removed: the installer and the uninstaller close every copy first, as
; taskkill does (each saves its settings), and wait for it. One that does not
; end stops them before they change anything; silent, they then end with
; exit code 2. On a Windows older than 10 the installer refuses, with exit
; code 2 when silent.

Unicode true
; A 64-bit installer: it writes the 64-bit registry and Program Files, and
; wine64 runs it.
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quartzel"

; For every user or for the installing user: a page to choose, /AllUsers and
; /CurrentUser on the command line, and each mode's folder remembered.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Quartzel"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!include "WinVer.nsh"

Name "Quartzel ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Quartzel ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION startProgram
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString needsWindows10 ${LANG_ENGLISH} "Quartzel needs 64-bit Windows 10 or 11, and cannot run on this version of Windows. Nothing has been installed."
LangString needsWindows10 ${LANG_RUSSIAN} "Для Quartzel нужна 64-разрядная Windows 10 или 11: на этой версии Windows программа работать не может. Ничего не установлено."
LangString programRuns ${LANG_ENGLISH} "Quartzel is running. OK closes it (it saves its settings first) and goes on; Cancel leaves it running and stops here."
LangString programRuns ${LANG_RUSSIAN} "Quartzel запущен. «ОК» закроет его (сначала он сохранит настройки) и продолжит работу; «Отмена» оставит его запущенным и прервёт работу."
LangString programStillRuns ${LANG_ENGLISH} "Quartzel has not closed. Close it yourself, then choose Retry; Cancel stops here and changes nothing."
LangString programStillRuns ${LANG_RUSSIAN} "Quartzel не закрылся. Закройте его сами и выберите «Повтор»; «Отмена» прервёт работу, ничего не меняя."

; What the program does while it runs (app/SettingsFileSharing_windows.cpp and
; app/TerminationSignals_windows.cpp): every copy, of any user, holds the mutex
; "Global\Quartzel", and has a hidden window of the class QuartzelStopRequests
; that takes WM_CLOSE as taskkill sends it.
!macro RUNNING_PROGRAM_FUNCTIONS UN
  ; $0 := 1 while a copy runs, else 0. A copy of another user whose mutex
  ; this user may not open (access denied) runs all the same.
  Function ${UN}programRuns
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\Quartzel") p.r1 ?e'
    Pop $2
    StrCpy $0 0
    ${If} $1 P<> 0
      System::Call 'kernel32::CloseHandle(p r1)'
      StrCpy $0 1
    ${ElseIf} $2 = 5
      StrCpy $0 1
    ${EndIf}
  FunctionEnd

  ; Closes every copy as taskkill does (WM_CLOSE posted to its window, which
  ; a copy that is held up takes once it runs again), and waits up to 10 s
  ; for them to end; returns once none runs. Interactive, it asks first and again while
  ; one runs on; silent, it closes them, and quits with exit code 2 when one
  ; does not end. Nothing has been changed when it quits.
  Function ${UN}closeRunningCopies
    Call ${UN}programRuns
    ${If} $0 = 0
      Return
    ${EndIf}
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "$(programRuns)" /SD IDOK IDOK close
    SetErrorLevel 1
    Quit
  close:
    StrCpy $1 0
    ${Do}
      FindWindow $1 "QuartzelStopRequests" "" 0 $1
      ${If} $1 P= 0
        ${ExitDo}
      ${EndIf}
      System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE}, p 0, p 0)'
    ${Loop}
    StrCpy $3 0
    ${Do}
      Call ${UN}programRuns
      ${If} $0 = 0
        Return
      ${EndIf}
      Sleep 250
      IntOp $3 $3 + 1
    ${LoopUntil} $3 >= 40
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(programStillRuns)" /SD IDCANCEL IDRETRY close
    SetErrorLevel 2
    Quit
  FunctionEnd
!macroend
!insertmacro RUNNING_PROGRAM_FUNCTIONS ""
!insertmacro RUNNING_PROGRAM_FUNCTIONS "un."

Function .onInit
  SetRegView 64
  ${IfNot} ${AtLeastWin10}
    MessageBox MB_OK|MB_ICONSTOP "$(needsWindows10)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

; The uninstaller removes the installation it sits in: the installing user's
; when that one is there, else the one for every user.
Function un.onInit
  SetRegView 64
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $R9
    Call un.MultiUser.InstallMode.CurrentUser
  ${Else}
    Call un.MultiUser.InstallMode.AllUsers
  ${EndIf}
  StrCpy $INSTDIR $R9
FunctionEnd

; The Finish page's "Run Quartzel": a copy that runs already is the one.
Function startProgram
  Call programRuns
  ${If} $0 = 0
    Exec '"$INSTDIR\quartzel.exe"'
  ${EndIf}
FunctionEnd

Section "Quartzel"
  Call closeRunningCopies
  SetOutPath "$INSTDIR"
  File "/oname=quartzel.exe" "${PROGRAM}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quartzel.lnk" "$INSTDIR\quartzel.exe"

  ; SHCTX: HKLM for every user, HKCU for the installing user.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Quartzel"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quartzel.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; Programs and Features shows the size in KiB.
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.closeRunningCopies
  Delete "$SMPROGRAMS\Quartzel.lnk"
  Delete "$INSTDIR\quartzel.exe"
  Delete "$INSTDIR\LICENSE.txt"
  ; Settings written beside a program for every user (by one run with the
  ; right to). The installing user's own folder holds that user's settings
  ; (the program can write there), which stay, and the folder with them.
  ${If} $MultiUser.InstallMode == "AllUsers"
    Delete "$INSTDIR\quartzel.ini"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
