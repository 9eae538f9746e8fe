; QuillfireSetup.exe: installs Quillfire.exe and help.chm for every user of the machine, with a
; Start-menu shortcut and an entry in Add/Remove Programs; /S installs and uninstalls silently.
;   makensis -DSOURCE=<folder with Quillfire.exe and help.chm> -DOUTFILE=<setup.exe> Quillfire.nsi
; A 64-bit installer for a 64-bit program: it runs where the program runs, and nowhere else.
Target amd64-unicode
!ifndef SOURCE
  !error "SOURCE must name the folder holding Quillfire.exe and help.chm"
!endif
!ifndef OUTFILE
  !define OUTFILE "QuillfireSetup.exe"
!endif
!define VERSION "1.1.0.0"
!define PUBLISHER "Quillfire Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillfire"

!include "FileFunc.nsh"

Name "Quillfire"
OutFile "${OUTFILE}"
Icon "..\res\Quillfire.ico"
UninstallIcon "..\res\Quillfire.ico"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Quillfire"
SetCompressor /SOLID lzma
ShowInstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Quillfire"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Quillfire Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Quillfire"
  SetOutPath "$INSTDIR"
  File "${SOURCE}/Quillfire.exe"
  File "${SOURCE}/help.chm"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quillfire.lnk" "$INSTDIR\Quillfire.exe" "" "$INSTDIR\Quillfire.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillfire"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillfire.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; Only what the installer put there: a folder that still holds something of the user's stays.
Section "Uninstall"
  Delete "$INSTDIR\Quillfire.exe"
  Delete "$INSTDIR\help.chm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quillfire.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
