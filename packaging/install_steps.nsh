; The steps of an install, each checked as it is done: a mark in the registry of where the install
; goes and what it leaves, the folder, the two programs (written beside the old ones, then swapped
; in), the record brought from a folder that the install leaves, the Startup shortcut, the Apps &
; features entry, and last the letting go of what the install replaced. A step that fails ends the
; install, and UndoInstall takes back every step before it, so that what was there stays as it
; was. An install that is cut off (killed, a logoff, a lost power) undoes nothing: its mark lets
; the next run of the setup program finish it.

!define STEP_MARK 1
!define STEP_FOLDER 2
!define STEP_FILES 3
!define STEP_RECORD 4
!define STEP_SHORTCUT 5
!define STEP_ENTRY 6

Var Step            ; the last step begun; empty, which compares as 0, before the first
Var MadeFrom        ; the outermost folder that MakeFolder made, or "" when $INSTDIR was there
Var HadProgram      ; whether $INSTDIR held quenwick.exe before, and so holds it as .old now
Var HadUninstaller
Var RecordBrought
Var ShortcutSaved
Var EntryFolder     ; what WriteEntry writes: the install's folder, version and size in KiB
Var EntryVersion
Var EntrySize

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

; Makes $INSTDIR and any folders above it that are missing, and notes the outermost of them.
Function MakeFolder
  StrCpy $MadeFrom ""
  StrCpy $0 $INSTDIR
  ${DoUntil} $0 == ""
    ${If} ${FileExists} "$0\*.*"
      ${ExitDo}
    ${EndIf}
    StrCpy $MadeFrom $0
    ${GetParent} $0 $0
  ${Loop}
  CreateDirectory $INSTDIR
FunctionEnd

; Removes the folders that MakeFolder made, from $INSTDIR outwards, as long as they are empty.
Function RemoveMadeFolders
  ${If} $MadeFrom == ""
    Return
  ${EndIf}
  StrCpy $0 $INSTDIR
  ${DoUntil} $0 == ""
    RMDir $0
    ${If} $0 == $MadeFrom
      ${ExitDo}
    ${EndIf}
    ${GetParent} $0 $0
  ${Loop}
FunctionEnd

; Ends the install as failed; UndoInstall follows.
Function FailInstall
  !insertmacro Refuse ${EXIT_FAILED} InstallFailed
  Call ReportRefusal
  Abort
FunctionEnd

; Notes, before anything else changes, that an install into $INSTDIR is under way and which
; folders it leaves.
Function MarkUnfinished
  StrCpy $Step ${STEP_MARK}
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "MovingTo" $INSTDIR
  WriteRegStr HKCU "${UNINSTALL_KEY}" "MovingFrom" $OtherFolders
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests marked
FunctionEnd

; Moves $INSTDIR\name aside as name.old, if there is one, and name.new into its place.
!macro SwapIn name
  Delete "$INSTDIR\${name}.old"
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
  ${EndIf}
  Rename "$INSTDIR\${name}.new" "$INSTDIR\${name}"
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
!macroend

; Takes back SwapIn, however far it got.
!macro SwapBack name had
  Delete "$INSTDIR\${name}.new"
  ${If} ${FileExists} "$INSTDIR\${name}.old"
    Delete "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${ElseIf} ${had} = 0
    Delete "$INSTDIR\${name}"
  ${EndIf}
!macroend

; Puts back a program that an install cut off had set aside and not replaced, so that the folder
; is as that install found it.
!macro PutBackSetAside name
  ${IfNot} ${FileExists} "$INSTDIR\${name}"
  ${AndIf} ${FileExists} "$INSTDIR\${name}.old"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  Delete "$INSTDIR\${name}.new"
!macroend

; Makes the folder ready for this version's programs, which the section then writes into it
; under the names quenwick.exe.new and uninstall.exe.new.
Function PrepareFolder
  StrCpy $Step ${STEP_FOLDER}
  Call MakeFolder
  StrCpy $Step ${STEP_FILES}
  !insertmacro PutBackSetAside quenwick.exe
  !insertmacro PutBackSetAside uninstall.exe
  StrCpy $HadProgram 0
  StrCpy $HadUninstaller 0
  ${If} ${FileExists} "$INSTDIR\quenwick.exe"
    StrCpy $HadProgram 1
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    StrCpy $HadUninstaller 1
  ${EndIf}
  SetOutPath $INSTDIR
FunctionEnd

; Puts the programs that the section wrote in place of the old ones. A running program was waited
; for already; one that started since then keeps its file, and the swap fails.
Function PutProgramsInPlace
  !insertmacro StopForTests written
  Push "$INSTDIR\quenwick.exe.new"
  Call ProgramVersion
  Pop $0
  ${If} $0 != ${VERSION}
  ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe.new"
    Call FailInstall
  ${EndIf}
  !insertmacro SwapIn quenwick.exe
  !insertmacro StopForTests program-swapped
  !insertmacro SwapIn uninstall.exe
  !insertmacro StopForTests uninstaller-swapped
FunctionEnd

; An install that leaves a folder brings the record along from it, so that the next check
; compares with it rather than starting afresh; a record in $INSTDIR already is kept.
Function BringRecordAlong
  StrCpy $Step ${STEP_RECORD}
  StrCpy $RecordBrought 0
  !insertmacro ForEachFolderIn $OtherFolders BringRecordFrom
  !insertmacro StopForTests record
FunctionEnd

; Stack in: a folder that the install leaves. Copies its record, the first that there is.
Function BringRecordFrom
  Pop $0
  ${If} ${FileExists} "$INSTDIR\data.dat"
  ${OrIfNot} ${FileExists} "$0\data.dat"
    Return
  ${EndIf}
  StrCpy $RecordBrought 1
  CopyFiles /SILENT "$0\data.dat" $INSTDIR
  ${IfNot} ${FileExists} "$INSTDIR\data.dat"
    Call FailInstall
  ${EndIf}
FunctionEnd

; The shortcut that starts the program at every logon; the one it replaces is kept until the
; install is complete.
Function MakeStartupShortcut
  StrCpy $Step ${STEP_SHORTCUT}
  InitPluginsDir
  StrCpy $ShortcutSaved 0
  ${If} ${FileExists} "${STARTUP_SHORTCUT}"
    StrCpy $ShortcutSaved 1
    CopyFiles /SILENT "${STARTUP_SHORTCUT}" $PLUGINSDIR
    ${IfNot} ${FileExists} "$PLUGINSDIR\Quenwick.lnk"
      Call FailInstall
    ${EndIf}
  ${EndIf}
  ClearErrors
  CreateShortcut "${STARTUP_SHORTCUT}" "$INSTDIR\quenwick.exe"
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests shortcut
FunctionEnd

; Writes the Apps & features entry of $EntryFolder, $EntryVersion and $EntrySize.
Function WriteEntry
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quenwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" $EntryVersion
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$EntryFolder\quenwick.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" $EntryFolder
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$EntryFolder\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$EntryFolder\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $EntrySize
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
FunctionEnd

; Stack in: a file's path. Adds its size in bytes to $EntrySize.
Function AddFileSize
  Pop $0
  FileOpen $1 $0 r
  FileSeek $1 0 END $2
  FileClose $1
  IntOp $EntrySize $EntrySize + $2
FunctionEnd

Function RegisterInstall
  StrCpy $Step ${STEP_ENTRY}
  StrCpy $EntrySize 0
  Push "$INSTDIR\quenwick.exe"
  Call AddFileSize
  Push "$INSTDIR\uninstall.exe"
  Call AddFileSize
  IntOp $EntrySize $EntrySize + 1023
  IntOp $EntrySize $EntrySize / 1024
  StrCpy $EntryFolder $INSTDIR
  StrCpy $EntryVersion ${VERSION}
  ClearErrors
  Call WriteEntry
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests entry
FunctionEnd

; Checks that the install is whole, then lets go of what it replaced: the old programs, the files
; of the folders that it leaves, and last the mark of an install under way.
Function CompleteInstall
  Push $INSTDIR
  Call ShortcutStarts
  Pop $3
  Push "$INSTDIR\quenwick.exe"
  Call ProgramVersion
  Pop $0
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ${VERSION}
  ${OrIf} $3 != 1
  ${OrIf} $1 != ${VERSION}
  ${OrIf} $2 != $INSTDIR
    Call FailInstall
  ${EndIf}
  Delete "$INSTDIR\quenwick.exe.old"
  Delete "$INSTDIR\uninstall.exe.old"
  !insertmacro StopForTests old-programs-removed
  !insertmacro ForEachFolderIn $OtherFolders RemoveInstallFiles
  !insertmacro StopForTests folders-left
  DeleteRegValue HKCU "${UNINSTALL_KEY}" "MovingTo"
  DeleteRegValue HKCU "${UNINSTALL_KEY}" "MovingFrom"
FunctionEnd

; Stack in: a registry value's name and what it held before the install, "" for nothing. Puts it
; back as it was.
Function RestoreMark
  Pop $1
  Pop $0
  ${If} $1 == ""
    DeleteRegValue HKCU "${UNINSTALL_KEY}" $0
  ${Else}
    WriteRegStr HKCU "${UNINSTALL_KEY}" $0 $1
  ${EndIf}
FunctionEnd

; Takes back every step of a failed install, the last first.
Function UndoInstall
  ${If} $Step >= ${STEP_ENTRY}
    ${If} $OldVersion == ""
      ; The mark that the key held, if any, is put back below.
      DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${Else}
      StrCpy $EntryFolder $OldFolder
      StrCpy $EntryVersion $OldVersion
      StrCpy $EntrySize $OldSize
      Call WriteEntry
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_SHORTCUT}
    ${If} $ShortcutSaved = 1
      CopyFiles /SILENT "$PLUGINSDIR\Quenwick.lnk" $SMSTARTUP
    ${Else}
      Delete "${STARTUP_SHORTCUT}"
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_RECORD}
  ${AndIf} $RecordBrought = 1
    Delete "$INSTDIR\data.dat"
  ${EndIf}
  ${If} $Step >= ${STEP_FILES}
    !insertmacro SwapBack quenwick.exe $HadProgram
    !insertmacro SwapBack uninstall.exe $HadUninstaller
  ${EndIf}
  ${If} $Step >= ${STEP_FOLDER}
    ; SetOutPath made the folder the current one, which a folder being removed cannot be.
    SetOutPath $TEMP
    Call RemoveMadeFolders
  ${EndIf}
  ${If} $Step >= ${STEP_MARK}
    Push "MovingTo"
    Push $MarkedTo
    Call RestoreMark
    Push "MovingFrom"
    Push $MarkedFrom
    Call RestoreMark
    DeleteRegKey /ifempty HKCU "${UNINSTALL_KEY}"
  ${EndIf}
FunctionEnd
