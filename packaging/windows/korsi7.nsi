; The installer of the desktop program for Windows: korsi7-<version>-setup.exe.
; Made by scripts/package.sh windows from the runnable folder that
; scripts/build.sh windows lays out (scripts/windows-folder.sh):
;   makensis -DVERSION=1.0 -DSOURCE=<folder> -DOUTFILE=<setup.exe> korsi7.nsi
; It installs into Program Files for every user of the computer, puts two
; entries in the Start menu and registers its uninstaller in "Programs and
; Features". Each user's files are in their own %LOCALAPPDATA%\korsi7, made
; by the program on its first start; neither installing nor uninstalling
; touches them.

Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "КОРСИ-7"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\korsi7"
!define TRAINING "КОРСИ-7 — учебный режим (без прибора)"

Name "${PRODUCT}"
Caption "Установка программы ${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\korsi7.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка программы ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${PRODUCT}"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Программе ${PRODUCT} нужна 64-разрядная Windows."
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu of every user: the program, and its training mode, which
  ; reads a simulated gauge instead of a real one.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\korsi7.exe" "" "$INSTDIR\korsi7.exe" 0
  CreateShortcut "$SMPROGRAMS\${TRAINING}.lnk" "$INSTDIR\korsi7.exe" "--simulator" "$INSTDIR\korsi7.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korsi7.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Removes what the installer put there, and nothing else: the folder itself
; only when it is left empty, and never a user's folder.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${TRAINING}.lnk"
  Delete "$INSTDIR\korsi7.exe"
  Delete "$INSTDIR\korsi7-transfer.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\qt.conf"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\translations"
  RMDir /r "$INSTDIR\templates"
  RMDir /r "$INSTDIR\help"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
