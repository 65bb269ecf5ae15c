; The setup program of Quenwick: installs quenwick.exe for the current user alone, with no
; administrator rights, starts it at every logon, and can be removed from Apps & features.
; Built by release.cmake, which defines VERSION, PUBLISHER, COPYRIGHT, EXE (the program to
; install), ICON and WIZARD (the pictures), OUTFILE and, when the release is signed, SIGN (the
; command that signs a file in place).

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; The setup program keeps no file time of the build machine, so that one commit builds one setup.
SetDateSave off

!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenwick"

Name "Quenwick"
OutFile "${OUTFILE}"
BrandingText "Quenwick ${VERSION}"
; A new folder of the user's own, or where an earlier version went, so that an upgrade finds its
; data.dat. /D= on the command line chooses another.
InstallDir "$LOCALAPPDATA\Programs\Quenwick"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Quenwick"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Quenwick ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COPYRIGHT}"

!ifdef SIGN
  ; The uninstaller is written into the setup program, so it is signed before it goes in.
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

; The program's own icon and picture in place of NSIS's.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"

; The last page says what comes next, since the program itself shows nothing unless it must.
!define MUI_FINISHPAGE_TEXT "$(WhatComesNext)"
; The finish page offers the first check at once, so that the baseline is recorded now rather
; than at the next logon. A silent install shows no pages and so runs nothing.
!define MUI_FINISHPAGE_RUN "$INSTDIR\quenwick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunFirstCheck)"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The pages speak Polish on a Polish system and English on any other: the first is the fallback.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Polish"
LangString RunFirstCheck ${LANG_ENGLISH} "Run the first check now"
LangString RunFirstCheck ${LANG_POLISH} "Uruchom teraz pierwsze sprawdzenie"
LangString WhatComesNext ${LANG_ENGLISH} "Quenwick now runs at every logon. It has no window, \
  and it speaks (in Polish) only when a hosts file has changed."
LangString WhatComesNext ${LANG_POLISH} "Quenwick uruchamia się teraz przy każdym logowaniu. \
  Nie ma okna i odzywa się tylko wtedy, gdy któryś plik hosts się zmienił."

Section "Quenwick" Program
  SetOutPath "$INSTDIR"
  ; data.dat, the sizes of the last check, is never touched, so an upgrade warns as before.
  File "/oname=quenwick.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMSTARTUP\Quenwick.lnk" "$INSTDIR\quenwick.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quenwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quenwick.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  SectionGetSize ${Program} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the setup program made and what the program writes, and nothing else: the folder
; goes only when that leaves it empty, and is never deleted with whatever the user put in it.
Section "Uninstall"
  Delete "$SMSTARTUP\Quenwick.lnk"
  Delete "$INSTDIR\quenwick.exe"
  Delete "$INSTDIR\data.dat"
  Delete "$INSTDIR\data.dat.*.tmp"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
