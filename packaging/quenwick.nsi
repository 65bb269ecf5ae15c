; The setup program of Quenwick: installs quenwick.exe for the current user alone, with no
; administrator rights, starts it at every logon, and can be removed from Apps & features. It
; installs completely or changes nothing, and its exit code says which (docs/deploying.md).
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
; A file that cannot be written is left for the install's own checks, which undo the install,
; rather than offered to the user to skip.
SetOverwrite try

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

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

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The last page says what comes next, since the program itself shows nothing unless it must. On a
; first install it offers the first check at once, so that the sizes are recorded now rather than
; at the next logon. A silent install shows no pages and so runs nothing.
!define MUI_FINISHPAGE_TEXT "$(WhatComesNext)"
!define MUI_FINISHPAGE_RUN "$INSTDIR\quenwick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunFirstCheck)"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFinishPage
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The pages speak Polish on a Polish system and English on any other: the first is the fallback.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Polish"
!include messages.nsh

; Registers $0 to $9 are scratch: a function may change them, and no value passes through them
; from one function to another. Functions take and give values on the stack or in the variables
; that their comments name.

Var OwnEntry ; whether the entry that the uninstaller finds is its own folder's

!include folders.nsh
!include shortcut.nsh
!include install_folders.nsh
!include install_checks.nsh
!include install_steps.nsh

Function .onInit
  Call CheckAlone
  ${If} $Refusal = 0
    Call ReadRegisteredInstall
    Call ChooseFolder
    ; No folder that the user could choose mends either of these.
    Call CheckAccount
  ${EndIf}
  ${If} $Refusal = 0
    Call CheckVersion
  ${EndIf}
  ${If} $Refusal <> 0
    Call ReportRefusal
    Quit
  ${EndIf}
FunctionEnd

; Everything that the choice of folder decides, the first refusal found winning.
Function CheckInstall
  Push $INSTDIR
  Call FullPath
  Pop $INSTDIR
  Call FindOtherFolders
  Call CheckFolder
  ${If} $Refusal = 0
    Call CheckVersion
  ${EndIf}
  ${If} $Refusal = 0
    Call CheckProgramNotRunning
  ${EndIf}
FunctionEnd

; The choice is checked as the folder page is left: a folder that is refused keeps the user on the
; page to choose another, and Cancel on the box about the running program ends the setup program.
Function LeaveFolderPage
  Call CheckInstall
  ${If} $Refusal = ${EXIT_RUNNING}
    SetErrorLevel $Refusal
    Quit
  ${ElseIf} $Refusal <> 0
    MessageBox MB_OK|MB_ICONEXCLAMATION $RefusalText
    Abort
  ${EndIf}
FunctionEnd

; An install that has a record already has had its first check.
Function ShowFinishPage
  ${If} ${FileExists} "$INSTDIR\data.dat"
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; The checks once more, just before the first change: a silent install has had no folder page.
Section "Quenwick"
  Call CheckInstall
  ${If} $Refusal <> 0
    Call ReportRefusal
    Abort
  ${EndIf}
  Call MarkUnfinished
  Call PrepareFolder
  File "/oname=quenwick.exe.new" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe.new"
  Call PutProgramsInPlace
  Call BringRecordAlong
  Call MakeStartupShortcut
  Call RegisterInstall
  Call CompleteInstall
SectionEnd

Function .onInstFailed
  Call UndoInstall
FunctionEnd

Function un.onInit
  Call un.CheckAlone
  ${If} $Refusal <> 0
    Call un.ReportRefusal
    Quit
  ${EndIf}
FunctionEnd

; Deletes the Startup shortcut only when it starts this folder's quenwick.exe: one that starts
; another copy, such as one that the user set up from the portable zip, is not this install's.
Function un.RemoveOwnShortcut
  Push $INSTDIR
  Call un.ShortcutStarts
  Pop $0
  ${If} $0 = 1
    Delete "${STARTUP_SHORTCUT}"
  ${EndIf}
FunctionEnd

; Removes what an install made and what the program writes, and nothing else: the folder goes only
; when that leaves it empty, the shortcut only when it starts this folder's program, and the entry
; only when it names this folder. A running program is waited for, and nothing is removed while it
; runs.
Section "Uninstall"
  Push $INSTDIR
  Call un.FullPath
  Pop $INSTDIR
  Call un.CheckProgramNotRunning
  ${If} $Refusal = 0
    Delete "$INSTDIR\quenwick.exe"
    ${If} ${FileExists} "$INSTDIR\quenwick.exe"
      !insertmacro Refuse ${EXIT_FAILED} UninstallFailed
    ${EndIf}
  ${EndIf}
  ${If} $Refusal <> 0
    Call un.ReportRefusal
    Abort
  ${EndIf}
  Call un.RemoveOwnShortcut
  ; Whether the entry is this folder's is asked while the folder is still there.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Push $0
  Push $INSTDIR
  Call un.SameFolder
  Pop $OwnEntry
  Push $INSTDIR
  Call un.RemoveInstallFiles
  ; The install made %LOCALAPPDATA%\Programs if it was missing; it goes when nothing else is in it.
  RMDir "$LOCALAPPDATA\Programs"
  ; The entry goes last, so that an uninstall that is cut off can be run again from it.
  ${If} $OwnEntry = 1
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
