; The Windows installer: the three window programs and uploader-cli.exe under
; Program Files, Start-menu entries for the window programs, an uninstaller
; registered in Add/Remove Programs. `setup.exe /S` installs silently,
; `uninstall.exe /S` removes silently. Built on Linux by scripts/release.sh:
;
;   makensis -DVERSION_TEXT="1.0.0 (git ...)" -DVERSION_NUMBERS=1.0.0.0
;            -DSTAGE=<cmake --install of the Windows build> -DLISTS=<file-lists.sh output>
;            -DOUTFILE=<setup.exe> installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Tavik Firmware uploader"
!define FOLDER "Tavik Uploader"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavikUploader"
!include "${LISTS}/size.nsh"
!define D2XX_NOTE "USB-to-DMX adapters need FTDI's D2XX driver. This installer does not contain it: install FTDI's driver for Windows (D2XX, from FTDI's website) before uploading through a USB adapter. The programs start without it and say so when an upload cannot reach the adapter."

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION_TEXT} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${FOLDER}"
BrandingText "${PRODUCT} ${VERSION_TEXT}"

VIProductVersion ${VERSION_NUMBERS}
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Tavik"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 Tavik. MIT licence."

!include MUI2.nsh
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION_TEXT}: the programs uploader-v1.2, uploader-v1.1 and uploader-early, and the command-line uploader-cli.$\r$\n$\r$\n${D2XX_NOTE}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed; the programs are in the Start menu under ${FOLDER}.$\r$\n$\r$\n${D2XX_NOTE}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\docs\operator-guide.md"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the operator's guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Install"
  !include "${LISTS}/install.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${FOLDER}"
  CreateShortcut "$SMPROGRAMS\${FOLDER}\Firmware uploader ver.1.2.lnk" "$INSTDIR\bin\uploader-v1.2.exe"
  CreateShortcut "$SMPROGRAMS\${FOLDER}\Firmware uploader ver.1.1.lnk" "$INSTDIR\bin\uploader-v1.1.exe"
  CreateShortcut "$SMPROGRAMS\${FOLDER}\Firmware uploader (early).lnk" "$INSTDIR\bin\uploader-early.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tavik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\uploader-v1.2.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${FOLDER}\Firmware uploader ver.1.2.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\Firmware uploader ver.1.1.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\Firmware uploader (early).lnk"
  RMDir "$SMPROGRAMS\${FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only the files the installer put there: a folder the operator added
  ; files to stays, with those files.
  !include "${LISTS}/uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
