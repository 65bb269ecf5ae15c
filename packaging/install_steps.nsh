; The steps of an install, each checked as it is done: the folder, the two programs (written
; beside the old ones, then swapped in), the record brought from a folder that the install moves
; out of, the Startup shortcut and the Apps & features entry. A step that fails ends the install,
; and UndoInstall then takes back every step before it, so that what was there stays as it was.

!define STEP_FOLDER 1
!define STEP_FILES 2
!define STEP_RECORD 3
!define STEP_SHORTCUT 4
!define STEP_ENTRY 5

Var Step            ; the last step begun; empty, which compares as 0, before the first
Var MadeFrom        ; the outermost folder that MakeFolder made, or "" when $INSTDIR was there
Var HadProgram      ; whether $INSTDIR held quenwick.exe before, and so holds it as .old now
Var HadUninstaller
Var RecordBrought
Var ShortcutSaved

; Makes $INSTDIR and any folders above it that are missing, and notes the outermost of them.
Function MakeFolder
  StrCpy $MadeFrom ""
  StrCpy $R0 $INSTDIR
  ${DoUntil} $R0 == ""
    ${If} ${FileExists} "$R0\*.*"
      ${ExitDo}
    ${EndIf}
    StrCpy $MadeFrom $R0
    ${GetParent} $R0 $R0
  ${Loop}
  CreateDirectory $INSTDIR
FunctionEnd

; Removes the folders that MakeFolder made, from $INSTDIR outwards, as long as they are empty.
Function RemoveMadeFolders
  ${If} $MadeFrom == ""
    Return
  ${EndIf}
  StrCpy $R0 $INSTDIR
  ${DoUntil} $R0 == ""
    RMDir $R0
    ${If} $R0 == $MadeFrom
      ${ExitDo}
    ${EndIf}
    ${GetParent} $R0 $R0
  ${Loop}
FunctionEnd

; Ends the install as failed; UndoInstall follows.
Function FailInstall
  !insertmacro Refuse ${EXIT_FAILED} InstallFailed
  Call ReportRefusal
  Abort
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

; Deletes what an install puts in folder and what the program writes there, and then the folder
; if that leaves it empty; never anything else.
!macro RemoveInstallFiles folder
  Delete "${folder}\quenwick.exe"
  Delete "${folder}\uninstall.exe"
  Delete "${folder}\data.dat"
  Delete "${folder}\data.dat.*.tmp"
  Delete "${folder}\quenwick.exe.new"
  Delete "${folder}\quenwick.exe.old"
  Delete "${folder}\uninstall.exe.new"
  Delete "${folder}\uninstall.exe.old"
  RMDir "${folder}"
!macroend

; Makes the folder ready for this version's programs, which the section then writes into it
; under the names quenwick.exe.new and uninstall.exe.new.
Function PrepareFolder
  StrCpy $Step ${STEP_FOLDER}
  Call MakeFolder
  StrCpy $Step ${STEP_FILES}
  StrCpy $HadProgram 0
  StrCpy $HadUninstaller 0
  ${If} ${FileExists} "$INSTDIR\quenwick.exe"
    StrCpy $HadProgram 1
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    StrCpy $HadUninstaller 1
  ${EndIf}
  SetOutPath $INSTDIR
  Delete "$INSTDIR\quenwick.exe.new"
  Delete "$INSTDIR\uninstall.exe.new"
FunctionEnd

; Puts the programs that the section wrote in place of the old ones. A running program was waited
; for already; one that started since then keeps its file, and the swap fails.
Function PutProgramsInPlace
  !insertmacro ProgramVersion "$INSTDIR\quenwick.exe.new"
  ${If} $R9 != ${VERSION}
  ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe.new"
    Call FailInstall
  ${EndIf}
  !insertmacro SwapIn quenwick.exe
  !insertmacro SwapIn uninstall.exe
FunctionEnd

; An install that moves to another folder brings the record along, so that the next check
; compares with it rather than starting afresh.
Function BringRecordAlong
  StrCpy $Step ${STEP_RECORD}
  StrCpy $RecordBrought 0
  ${If} $OldFolder == ""
  ${OrIf} $OldFolder == $INSTDIR
  ${OrIfNot} ${FileExists} "$OldFolder\data.dat"
  ${OrIf} ${FileExists} "$INSTDIR\data.dat"
    Return
  ${EndIf}
  StrCpy $RecordBrought 1
  CopyFiles /SILENT "$OldFolder\data.dat" $INSTDIR
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
  ${If} ${FileExists} "$SMSTARTUP\Quenwick.lnk"
    StrCpy $ShortcutSaved 1
    CopyFiles /SILENT "$SMSTARTUP\Quenwick.lnk" $PLUGINSDIR
    ${IfNot} ${FileExists} "$PLUGINSDIR\Quenwick.lnk"
      Call FailInstall
    ${EndIf}
  ${EndIf}
  ClearErrors
  CreateShortcut "$SMSTARTUP\Quenwick.lnk" "$INSTDIR\quenwick.exe"
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
FunctionEnd

; Writes the Apps & features entry of the install in folder $R0, of version $R1, with $R2 KiB.
Function WriteEntry
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quenwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" $R1
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$R0\quenwick.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" $R0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$R0\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$R0\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $R2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
FunctionEnd

; Adds the size in bytes of the file at path to $R2.
!macro AddFileSize path
  FileOpen $R3 "${path}" r
  FileSeek $R3 0 END $R4
  FileClose $R3
  IntOp $R2 $R2 + $R4
!macroend

Function RegisterInstall
  StrCpy $Step ${STEP_ENTRY}
  StrCpy $R2 0
  !insertmacro AddFileSize "$INSTDIR\quenwick.exe"
  !insertmacro AddFileSize "$INSTDIR\uninstall.exe"
  IntOp $R2 $R2 + 1023
  IntOp $R2 $R2 / 1024
  StrCpy $R0 $INSTDIR
  StrCpy $R1 ${VERSION}
  ClearErrors
  Call WriteEntry
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
FunctionEnd

; Checks that the install is whole, then lets go of what it replaced: the old programs and, when
; the install has moved, the old folder's files.
Function CompleteInstall
  !insertmacro ProgramVersion "$INSTDIR\quenwick.exe"
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R9 != ${VERSION}
  ${OrIfNot} ${FileExists} "$SMSTARTUP\Quenwick.lnk"
  ${OrIf} $R0 != ${VERSION}
  ${OrIf} $R1 != $INSTDIR
    Call FailInstall
  ${EndIf}
  Delete "$INSTDIR\quenwick.exe.old"
  Delete "$INSTDIR\uninstall.exe.old"
  ${If} $OldFolder != ""
  ${AndIf} $OldFolder != $INSTDIR
    !insertmacro RemoveInstallFiles $OldFolder
  ${EndIf}
FunctionEnd

; Takes back every step of a failed install, the last first.
Function UndoInstall
  ${If} $Step >= ${STEP_ENTRY}
    ${If} $OldVersion == ""
      DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${Else}
      StrCpy $R0 $OldFolder
      StrCpy $R1 $OldVersion
      StrCpy $R2 $OldSize
      Call WriteEntry
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_SHORTCUT}
    ${If} $ShortcutSaved = 1
      CopyFiles /SILENT "$PLUGINSDIR\Quenwick.lnk" $SMSTARTUP
    ${Else}
      Delete "$SMSTARTUP\Quenwick.lnk"
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
FunctionEnd
