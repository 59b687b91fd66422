; SPDX-License-Identifier: GPL-3.0-or-later
;
; The installer of Quartzel for 64-bit Windows. packaging/windows/CMakeLists.txt
; runs makensis with VERSION, PUBLISHER, PROGRAM (the built quartzel.exe),
; ICON, LICENSE and OUTFILE defined. Installed for every user of the machine
; under Program Files, with a Start menu entry and an entry in "Apps"
; (Programs and Features) that uninstalls it; /S installs and uninstalls
; without asking. Each user's settings (%APPDATA%\Quartzel) are the user's
; own and stay when the program goes.

Unicode true
; A 64-bit installer: it writes the 64-bit registry and Program Files, and
; wine64 runs it.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quartzel"

Name "Quartzel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quartzel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Quartzel ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\quartzel.exe"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Quartzel"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=quartzel.exe" "${PROGRAM}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quartzel.lnk" "$INSTDIR\quartzel.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quartzel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quartzel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Programs and Features shows the size in KiB.
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Quartzel.lnk"
  Delete "$INSTDIR\quartzel.exe"
  Delete "$INSTDIR\LICENSE.txt"
  ; Settings written beside the program (by one run with the right to).
  Delete "$INSTDIR\quartzel.ini"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
