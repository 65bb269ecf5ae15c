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
!ifdef PLUGINS
  ; Signed copies of NSIS's plug-ins, which both programs unpack into %TEMP% and load: App Control
  ; and AppLocker's DLL rules let only signed ones load there.
  !addplugindir /amd64-unicode "${PLUGINS}"
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

; A build for the tests alone (STOP_FOR_TESTS) ends dead at the point that the environment variable
; QUENWICK_SETUP_STOP names, as a crash or a lost power would: TerminateProcess runs no callback.
!macro StopForTests point
  !ifdef STOP_FOR_TESTS
    ReadEnvStr $0 QUENWICK_SETUP_STOP
    ${If} $0 == ${point}
      System::Call 'kernel32::TerminateProcess(p -1, i 99)'
    ${EndIf}
  !endif
!macroend

!include waiting.nsh
!include folders.nsh
!include shortcut.nsh
!include install_folders.nsh
!include install_checks.nsh
!include record.nsh
!include install_steps.nsh
!include remove.nsh

; Besides NSIS's own switches, /S and /D=, and before /D=: /Uninstall removes the registered
; install instead, and /QuietFirstLogon gives an install with no record yet the quiet one.
Function .onInit
  ; The folder that the setup program was started in may be one that it removes, which Windows
  ; does not allow while it is a process's current folder; and nothing depends on it.
  SetOutPath $TEMP
  Call CheckAlone
  ${If} $Refusal = 0
    Call ReadRegisteredInstall
    ClearErrors
    ${GetOptions} $CMDLINE "/Uninstall" $0
    ${IfNot} ${Errors}
      Call UninstallRegistered
      Call ReportRefusal
      Quit
    ${EndIf}
    Call ChooseFolder
    ; No folder that the user could choose mends either of these.
    Call CheckAccount
  ${EndIf}
  ${If} $Refusal = 0
  ${AndIf} ${Silent}
    Call LeaveWholeInstall
  ${EndIf}
  ${If} $Refusal = 0
    Call CheckVersion
  ${EndIf}
  ${If} $Refusal <> 0
    Call ReportRefusal
    Quit
  ${EndIf}
FunctionEnd

; A silent run over a whole install of this version, with nothing of a cut-off install to finish,
; changes nothing and ends at once with 0, whether or not the program is running; so a logon script
; can run the setup program at every logon. Only a quiet record that /QuietFirstLogon asks for is
; written.
Function LeaveWholeInstall
  ${If} $MarkedTo != ""
  ${OrIf} $MarkedFrom != ""
    Return
  ${EndIf}
  Call IsWholeInstall
  Pop $0
  ${If} $0 = 0
    Return
  ${EndIf}
  Call WriteQuietRecordIfAsked
  Pop $0
  ${If} ${Errors}
    !insertmacro Refuse ${EXIT_FAILED} InstallFailed
    Return
  ${EndIf}
  SetErrorLevel 0
  Quit
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
; The folder is tried for writing under the mark, as the install does, so that the next run clears
; away a try that is cut off; the mark goes again with the try.
Function LeaveFolderPage
  Call CheckInstall
  ${If} $Refusal = 0
    Call MarkUnfinished
    Call CheckFolderIsWritable
    Call RestoreMarks
    StrCpy $Step 0
  ${EndIf}
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

; The checks once more, just before the first change, as a silent install has had no folder page;
; then the steps, in the order that keeps every detection true (install_steps.nsh).
Section "Quenwick"
  Call CheckInstall
  ${If} $Refusal <> 0
    Call ReportRefusal
    Abort
  ${EndIf}
  Call MarkUnfinished
  Call CheckFolderIsWritable
  ${If} $Refusal <> 0
    Call ReportRefusal
    Abort
  ${EndIf}
  Call PrepareFolder
  File "/oname=quenwick.exe.new" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe.new"
  Call PutUninstallerInPlace
  Call BringRecordAlong
  Call RegisterInstall
  Call MakeStartupShortcut
  Call SetAsideOtherPrograms
  Call PutProgramInPlace
  Call CompleteInstall
SectionEnd

Function .onInstFailed
  Call UndoInstall
FunctionEnd

Function un.onInit
  SetOutPath $TEMP
  Call un.CheckAlone
  ${If} $Refusal <> 0
    Call un.ReportRefusal
    Quit
  ${EndIf}
FunctionEnd

; Removes the install in its own folder; and when the entry is this folder's, the folders of an
; install that was cut off too, and the entry last. An uninstaller left in another folder removes
; only what is its own.
Section "Uninstall"
  Push $INSTDIR
  Call un.FullPath
  Pop $INSTDIR
  Call un.ReadRegisteredInstall
  Push $OldFolder
  Push $INSTDIR
  Call un.SameFolder
  Pop $OwnEntry
  StrCpy $OtherFolders ""
  ${If} $OwnEntry = 1
    Call un.FindOtherFolders
  ${EndIf}
  Call un.RemoveInstall
  ${If} $Refusal <> 0
    Call un.ReportRefusal
    Abort
  ${EndIf}
SectionEnd
