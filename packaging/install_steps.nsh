; The steps of an install, each checked as it is done. First a mark in the registry of where the
; install goes and what it leaves, flushed to the disk before any file changes. Then everything
; but the program: the uninstaller, the record brought from a folder that the install leaves, the
; Apps & features entry (without its version), the Startup shortcut, and the programs of the
; folders left set aside. Then the commit: quenwick.exe takes its place, before which no detection
; that the guide gives says "installed" of this install. Last the entry's version, and the letting
; go of what the install replaced. A step that fails ends the install, and UndoInstall takes back
; every step before it, so that what was there stays as it was. An install that is cut off (killed,
; a logoff, a lost power) undoes nothing: its mark lets the next run of the setup program finish
; it, and the uninstall remove it.

!define STEP_MARK 1
!define STEP_FOLDER 2
!define STEP_FILES 3
!define STEP_RECORD 4
!define STEP_ENTRY 5
!define STEP_SHORTCUT 6
!define STEP_OTHERS 7
!define STEP_PROGRAM 8
!define STEP_VERSION 9

!define GENERIC_WRITE 0x40000000
!define FILE_SHARE_READ_WRITE 3

; The handle of HKEY_CURRENT_USER, which a 64-bit program passes sign-extended.
!define HKEY_CURRENT_USER_HANDLE -2147483647

Var Step            ; the last step begun; empty, which compares as 0, before the first
Var MadeFrom        ; the outermost folder that MakeFolder made, or "" when $INSTDIR was there
Var HadProgram      ; whether $INSTDIR held quenwick.exe before, and so holds it as .old now
Var HadUninstaller
Var RecordBrought   ; whether the install put data.dat in $INSTDIR, and whether it replaced one
Var RecordSaved
Var ShortcutSaved
Var SetAside        ; the folders whose quenwick.exe the install set aside as .old
Var EntryFolder     ; what WriteEntry writes: the install's folder, version and size in KiB
Var EntryVersion
Var EntrySize
Var LeftFolder      ; the folder that a function over $OtherFolders or $SetAside is given

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

; Notes that an install into $INSTDIR is under way and which folders it leaves, before any folder
; or file is made, and makes sure that the note is on the disk before any file changes.
Function MarkUnfinished
  StrCpy $Step ${STEP_MARK}
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "MovingTo" $INSTDIR
  WriteRegStr HKCU "${UNINSTALL_KEY}" "MovingFrom" $OtherFolders
  System::Call 'advapi32::RegFlushKey(p ${HKEY_CURRENT_USER_HANDLE}) i .r0'
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests marked
FunctionEnd

; Moves $INSTDIR\name aside as name.old, if there is one, and name.new into its place.
!macro SwapIn name
  !insertmacro DeleteFileWaiting "" "$INSTDIR\${name}.old"
  ${If} ${FileExists} "$INSTDIR\${name}"
    !insertmacro MoveFileWaiting "$INSTDIR\${name}" "$INSTDIR\${name}.old"
    ${If} ${Errors}
      Call FailInstall
    ${EndIf}
  ${EndIf}
  !insertmacro MoveFileWaiting "$INSTDIR\${name}.new" "$INSTDIR\${name}"
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
!macroend

; Takes back SwapIn, however far it got.
!macro SwapBack name had
  !insertmacro DeleteFileWaiting "" "$INSTDIR\${name}.new"
  ${If} ${FileExists} "$INSTDIR\${name}.old"
    !insertmacro DeleteFileWaiting "" "$INSTDIR\${name}"
    !insertmacro MoveFileWaiting "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${ElseIf} ${had} = 0
    !insertmacro DeleteFileWaiting "" "$INSTDIR\${name}"
  ${EndIf}
!macroend

; Puts back a program that an install cut off had set aside and not replaced, so that the folder
; is as that install found it.
!macro PutBackSetAside name
  ${IfNot} ${FileExists} "$INSTDIR\${name}"
  ${AndIf} ${FileExists} "$INSTDIR\${name}.old"
    !insertmacro MoveFileWaiting "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  !insertmacro DeleteFileWaiting "" "$INSTDIR\${name}.new"
!macroend

; Stack in: a file that the install has written. Writes it through to the disk, since NTFS journals
; a rename but not the data: after a lost power, a program renamed into place unflushed could read
; as zeros. Ends the install as failed when it cannot.
Function FlushToDisk
  Pop $0
  System::Call 'kernel32::CreateFileW(w r0, i ${GENERIC_WRITE}, i ${FILE_SHARE_READ_WRITE}, p 0, \
    i ${OPEN_EXISTING}, i 0, p 0) p .r1'
  ${If} $1 P= ${INVALID_HANDLE_VALUE}
    Call FailInstall
  ${EndIf}
  System::Call 'kernel32::FlushFileBuffers(p r1) i .r2'
  System::Call 'kernel32::CloseHandle(p r1)'
  ${If} $2 = 0
    Call FailInstall
  ${EndIf}
FunctionEnd

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

; Checks what the section wrote and flushes it to the disk, and puts the uninstaller in place of
; the old one: the program waits for the commit.
Function PutUninstallerInPlace
  !insertmacro StopForTests written
  Push "$INSTDIR\quenwick.exe.new"
  Call ProgramVersion
  Pop $0
  ${If} $0 != ${VERSION}
  ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe.new"
    Call FailInstall
  ${EndIf}
  Push "$INSTDIR\quenwick.exe.new"
  Call FlushToDisk
  Push "$INSTDIR\uninstall.exe.new"
  Call FlushToDisk
  !insertmacro SwapIn uninstall.exe
  !insertmacro StopForTests uninstaller-swapped
FunctionEnd

; An install that leaves a folder brings the record along from it, so that the next check
; compares with it rather than starting afresh: the first valid record of the folders left, unless
; $INSTDIR has a valid one already. With /QuietFirstLogon, an install that has no record after that
; gets the quiet one.
Function BringRecordAlong
  StrCpy $Step ${STEP_RECORD}
  StrCpy $RecordBrought 0
  StrCpy $RecordSaved 0
  !insertmacro ForEachFolderIn $OtherFolders BringRecordFrom
  Call WriteQuietRecordIfAsked
  Pop $0
  ${IfThen} $0 = 1 ${|} StrCpy $RecordBrought 1 ${|}
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests record
FunctionEnd

; Stack in: a folder that the install leaves.
Function BringRecordFrom
  Pop $LeftFolder
  Push "$INSTDIR\data.dat"
  Call IsValidRecord
  Push "$LeftFolder\data.dat"
  Call IsValidRecord
  Pop $1
  Pop $0
  ${If} $0 = 1
  ${OrIf} $1 = 0
    Return
  ${EndIf}
  ; A record there that is not valid is kept aside until the install is complete.
  ${If} ${FileExists} "$INSTDIR\data.dat"
  ${AndIf} $RecordSaved = 0
    InitPluginsDir
    CopyFiles /SILENT "$INSTDIR\data.dat" $PLUGINSDIR
    StrCpy $RecordSaved 1
  ${EndIf}
  StrCpy $RecordBrought 1
  Push "$LeftFolder\data.dat"
  Push $INSTDIR
  Call CopyRecord
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
FunctionEnd

; Writes the Apps & features entry of $EntryFolder, $EntryVersion and $EntrySize, with no version
; for "", which detection does not take for a whole install.
Function WriteEntry
  DeleteRegValue HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quenwick"
  ${If} $EntryVersion != ""
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" $EntryVersion
  ${EndIf}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$EntryFolder\quenwick.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" $EntryFolder
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$EntryFolder\uninstall.exe"'
  ; The uninstaller runs in place (_?=), so that the command ends when the uninstall has, with its
  ; exit code, and leaves its uninstall.exe, which the setup program takes for its own. Run
  ; otherwise, it hands its work to a copy of itself in %TEMP% and ends at once with 0.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$EntryFolder\uninstall.exe" /S _?=$EntryFolder'
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

; The entry of the new install, so that Apps & features can remove whatever a cut-off leaves; its
; version is written only once the install is whole.
Function RegisterInstall
  StrCpy $Step ${STEP_ENTRY}
  StrCpy $EntrySize 0
  Push "$INSTDIR\quenwick.exe.new"
  Call AddFileSize
  Push "$INSTDIR\uninstall.exe"
  Call AddFileSize
  IntOp $EntrySize $EntrySize + 1023
  IntOp $EntrySize $EntrySize / 1024
  StrCpy $EntryFolder $INSTDIR
  StrCpy $EntryVersion ""
  Call WriteEntry
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests entry
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
  Push "$INSTDIR\quenwick.exe"
  Call MakeShortcutTo
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests shortcut
FunctionEnd

; Sets aside the program of every folder that the install leaves, so that none is found or started
; there once this install's program is in place.
Function SetAsideOtherPrograms
  StrCpy $Step ${STEP_OTHERS}
  StrCpy $SetAside ""
  !insertmacro ForEachFolderIn $OtherFolders SetAsideProgramIn
  !insertmacro StopForTests others-set-aside
FunctionEnd

; Stack in: a folder that the install leaves.
Function SetAsideProgramIn
  Pop $LeftFolder
  ${IfNot} ${FileExists} "$LeftFolder\quenwick.exe"
    Return
  ${EndIf}
  !insertmacro DeleteFileWaiting "" "$LeftFolder\quenwick.exe.old"
  !insertmacro MoveFileWaiting "$LeftFolder\quenwick.exe" "$LeftFolder\quenwick.exe.old"
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  Push $SetAside
  Push $LeftFolder
  Call AddToList
  Pop $SetAside
FunctionEnd

; Stack in: a folder whose program the install set aside. Puts it back.
Function PutBackProgramIn
  Pop $LeftFolder
  !insertmacro MoveFileWaiting "$LeftFolder\quenwick.exe.old" "$LeftFolder\quenwick.exe"
FunctionEnd

; The commit: this version's program takes its place. A running program was waited for already;
; one that started since then runs on from the file set aside as .old, as Windows lets a running
; program's file be renamed, though not written or deleted; that .old then stays, a leftover that
; the next run deletes.
Function PutProgramInPlace
  StrCpy $Step ${STEP_PROGRAM}
  !insertmacro SwapIn quenwick.exe
  !insertmacro StopForTests program-swapped
FunctionEnd

; The entry's version, once the install is whole, and then the letting go of what it replaced: the
; old programs, the files of the folders that it leaves, and last the mark of an install under way.
Function CompleteInstall
  StrCpy $Step ${STEP_VERSION}
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" ${VERSION}
  ${If} ${Errors}
    Call FailInstall
  ${EndIf}
  !insertmacro StopForTests version-registered
  Call IsWholeInstall
  Pop $0
  ${If} $0 <> 1
    Call FailInstall
  ${EndIf}
  !insertmacro DeleteFileWaiting "" "$INSTDIR\quenwick.exe.old"
  !insertmacro DeleteFileWaiting "" "$INSTDIR\uninstall.exe.old"
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

; Puts the mark back as the install found it.
Function RestoreMarks
  Push "MovingTo"
  Push $MarkedTo
  Call RestoreMark
  Push "MovingFrom"
  Push $MarkedFrom
  Call RestoreMark
  DeleteRegKey /ifempty HKCU "${UNINSTALL_KEY}"
FunctionEnd

; Takes back every step of a failed install, the last first.
Function UndoInstall
  ${If} $Step >= ${STEP_PROGRAM}
    !insertmacro SwapBack quenwick.exe $HadProgram
  ${EndIf}
  ${If} $Step >= ${STEP_OTHERS}
    !insertmacro ForEachFolderIn $SetAside PutBackProgramIn
  ${EndIf}
  ${If} $Step >= ${STEP_SHORTCUT}
    ${If} $ShortcutSaved = 1
      CopyFiles /SILENT "$PLUGINSDIR\Quenwick.lnk" $SMSTARTUP
    ${Else}
      !insertmacro DeleteFileWaiting "" "${STARTUP_SHORTCUT}"
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_ENTRY}
    ${If} $OldFolder == ""
      ; The mark that the key held, if any, is put back below.
      DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${Else}
      StrCpy $EntryFolder $OldFolder
      StrCpy $EntryVersion $OldVersion
      StrCpy $EntrySize $OldSize
      Call WriteEntry
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_RECORD}
  ${AndIf} $RecordBrought = 1
    !insertmacro DeleteFileWaiting "" "$INSTDIR\data.dat"
    ${If} $RecordSaved = 1
      CopyFiles /SILENT "$PLUGINSDIR\data.dat" $INSTDIR
    ${EndIf}
  ${EndIf}
  ${If} $Step >= ${STEP_FILES}
    !insertmacro SwapBack uninstall.exe $HadUninstaller
    !insertmacro DeleteFileWaiting "" "$INSTDIR\quenwick.exe.new"
  ${EndIf}
  ${If} $Step >= ${STEP_FOLDER}
    ; SetOutPath made the folder the current one, which a folder being removed cannot be.
    SetOutPath $TEMP
    Call RemoveMadeFolders
  ${EndIf}
  ${If} $Step >= ${STEP_MARK}
    Call RestoreMarks
  ${EndIf}
FunctionEnd
