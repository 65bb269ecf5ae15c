; What the setup program and the uninstaller check before they change anything: that no other of
; them runs, the account, the version already installed, the folder, and whether the program is
; running. Each check that refuses leaves its exit code in $Refusal and its message, in the
; language of the pages, in $RefusalText (empty when the user has been told already); a $Refusal of
; 0 means go on.

; The exit codes, as docs/deploying.md lists them. Where Windows has a code that says the same,
; it is that one, which deployment tools already know: 1618 makes them try again later.
!define EXIT_FAILED 1603              ; ERROR_INSTALL_FAILURE: a step failed and was undone
!define EXIT_RUNNING 1618             ; ERROR_INSTALL_ALREADY_RUNNING
!define EXIT_NEWER_INSTALLED 1638     ; ERROR_PRODUCT_VERSION
!define EXIT_NOT_FOR_THIS_ACCOUNT 10  ; ERROR_BAD_ENVIRONMENT: a system account, or its folder
!define EXIT_FOLDER_NOT_WRITABLE 82   ; ERROR_CANNOT_MAKE
!define EXIT_FOLDER_NOT_EMPTY 145     ; ERROR_DIR_NOT_EMPTY
!define EXIT_FOLDER_TOO_LONG 206      ; ERROR_FILENAME_EXCED_RANGE

; Held by the setup program or the uninstaller from its start to its end: a file in the user's own
; %LOCALAPPDATA%, opened sharing nothing and deleted when its holder ends, however it ends. Installs
; are per user, and a user may have several logon sessions at once (a console and a Remote Desktop
; one, say): the file is one for all of them on this computer. No other user may open a file there,
; so no one else can take the lock, nor turn it off with an object of its name, as anyone can with
; a named mutex whose name (the user's SID) is no secret.
!define SETUP_LOCK "$LOCALAPPDATA\Quenwick.Setup.lock"
!define GENERIC_READ 0x80000000
!define OPEN_ALWAYS 4
!define /math LOCK_FLAGS 0x04000000 | 2 ; FILE_FLAG_DELETE_ON_CLOSE, FILE_ATTRIBUTE_HIDDEN

; The longest path that an install holds is the program's own temporary record,
; "data.dat.<process id>.tmp" (24 characters with its separator); on a Windows without long
; paths, every path must fit in MAX_PATH's 259 characters.
!define FOLDER_LENGTH_LIMIT 235

Var Refusal
Var RefusalText
Var NewerVersion ; the newer version that CheckVersion found, for its message
Var Lock ; SETUP_LOCK's handle, held until the program ends, and the last error in opening it
Var LockError

!macro Refuse code message
  StrCpy $Refusal ${code}
  StrCpy $RefusalText "$(${message})"
!macroend

; The checks that both programs make, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro BothProgramsChecks un

; One setup program or uninstaller at a time for a user: the first holds the lock until it ends,
; and any other that starts meanwhile refuses, as two at once could each undo half of the other's
; work. A lock that cannot be taken for any other reason refuses too: nothing runs unlocked. A lock
; whose holder has just ended is refused to everyone while it is deleted, which is waited out.
Function ${un}CheckAlone
  StrCpy $Refusal 0
  StrCpy $Waited 0
  StrCpy $Pause ${HOLD_FIRST_PAUSE_MS}
  ${Do}
    StrCpy $6 "${SETUP_LOCK}"
    System::Call 'kernel32::CreateFileW(w r6, i ${GENERIC_READ}, i 0, p 0, i ${OPEN_ALWAYS}, \
      i ${LOCK_FLAGS}, p 0) p .r7 ?e'
    Pop $LockError
    ${If} $7 P<> ${INVALID_HANDLE_VALUE}
      StrCpy $Lock $7
      Return
    ${EndIf}
    ${If} $LockError = ${ERROR_SHARING_VIOLATION}
      !insertmacro Refuse ${EXIT_RUNNING} AnotherSetupRunning
      Return
    ${EndIf}
    Push $LockError
    Call ${un}PauseForHold
    Pop $0
  ${LoopWhile} $0 = 1
  !insertmacro Refuse ${EXIT_FAILED} LockFailed
FunctionEnd

; Stack in: a folder. Stack out: 1 when quenwick.exe in it is still running after five seconds,
; else 0. Windows lets no one open a running program's file for writing.
Function ${un}ProgramStillRuns
  Pop $0
  ${IfNot} ${FileExists} "$0\quenwick.exe"
    Push 0
    Return
  ${EndIf}
  ${For} $1 1 10
    ClearErrors
    FileOpen $2 "$0\quenwick.exe" a
    ${IfNot} ${Errors}
      FileClose $2
      Push 0
      Return
    ${EndIf}
    Sleep 500
  ${Next}
  Push 1
FunctionEnd

; The program running from a folder that is about to change, $INSTDIR or one of $OtherFolders, is
; waited for; if it still runs, the user is asked to answer its box and retry, and a silent run
; refuses with EXIT_RUNNING.
Function ${un}CheckProgramNotRunning
  StrCpy $Refusal 0
  ${Do}
    Push $INSTDIR
    Call ${un}ProgramStillRuns
    Pop $StillRunning
    !insertmacro ForEachFolderIn $OtherFolders ${un}NoteProgramStillRuns
    ${If} $StillRunning = 0
      Return
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" \
        /SD IDCANCEL IDCANCEL`
      ${ExitDo}
    ${EndIf}
  ${Loop}
  StrCpy $Refusal ${EXIT_RUNNING}
  StrCpy $RefusalText "" ; the box has said why
FunctionEnd

; Stack in: a folder. Sets $StillRunning to 1 if the program runs from it too.
Function ${un}NoteProgramStillRuns
  ${If} $StillRunning = 1
    Pop $0
    Return
  ${EndIf}
  Call ${un}ProgramStillRuns
  Pop $StillRunning
FunctionEnd

; Tells an interactive user why nothing was done, and sets the exit code for the refusal found.
Function ${un}ReportRefusal
  ${If} $RefusalText != ""
    MessageBox MB_OK|MB_ICONSTOP "$RefusalText" /SD IDOK
  ${EndIf}
  SetErrorLevel $Refusal
FunctionEnd

!macroend

Var StillRunning
!insertmacro BothProgramsChecks ""
!insertmacro BothProgramsChecks "un."

; A per-user program installed for a system account, such as SYSTEM under a deployment tool,
; would never run: no such account logs on. Their profiles all lie in the Windows folder.
Function CheckAccount
  StrCpy $Refusal 0
  Push $PROFILE
  Call InWindowsFolder
  Pop $0
  ${If} $0 = 1
    !insertmacro Refuse ${EXIT_NOT_FOR_THIS_ACCOUNT} NotForThisAccount
  ${EndIf}
FunctionEnd

; Stack in: a program's path. Stack out: its version, "major.minor.patch", or "" without one.
Function ProgramVersion
  Pop $0
  ClearErrors
  GetDLLVersion $0 $1 $2
  ${If} ${Errors}
    Push ""
    Return
  ${EndIf}
  IntOp $3 $1 >> 16
  IntOp $4 $1 & 0xFFFF
  IntOp $5 $2 >> 16
  Push "$3.$4.$5"
FunctionEnd

; A newer version, registered or in the chosen folder, is never replaced by this one; a registered
; install whose program has gone counts for nothing.
Function CheckVersion
  StrCpy $Refusal 0
  StrCpy $NewerVersion ""
  ${If} $OldFolder != ""
  ${AndIf} ${FileExists} "$OldFolder\quenwick.exe"
    StrCpy $NewerVersion $OldVersion
  ${EndIf}
  ${VersionCompare} $NewerVersion ${VERSION} $0
  ${If} $0 <> 1
    Push "$INSTDIR\quenwick.exe"
    Call ProgramVersion
    Pop $NewerVersion
    ${VersionCompare} $NewerVersion ${VERSION} $0
  ${EndIf}
  ${If} $0 = 1
    !insertmacro Refuse ${EXIT_NEWER_INSTALLED} NewerInstalled
  ${EndIf}
FunctionEnd

; Whether $INSTDIR is a folder that the setup program may write into: one that Windows can start
; the program from and that a logon reaches, new, empty or Quenwick's own. Whether it is writable
; is tried once the install has marked it (CheckFolderIsWritable).
Function CheckFolder
  StrCpy $Refusal 0
  Push $INSTDIR
  Call InWindowsFolder
  Pop $0
  ${If} $0 = 1
    !insertmacro Refuse ${EXIT_NOT_FOR_THIS_ACCOUNT} FolderInWindows
    Return
  ${EndIf}
  StrLen $0 $INSTDIR
  ${If} $0 > ${FOLDER_LENGTH_LIMIT}
    !insertmacro Refuse ${EXIT_FOLDER_TOO_LONG} FolderTooLong
    Return
  ${EndIf}
  Call CheckFolderIsOurs
FunctionEnd

; Another program's files are never overwritten, nor taken for Quenwick's by its uninstaller: a
; folder that holds anything is used only if it is an install of Quenwick's (it holds quenwick.exe,
; or the registry names it), or holds nothing but what only Quenwick leaves behind. That includes
; its uninstaller, which an uninstall in place leaves, as it cannot delete itself.
Function CheckFolderIsOurs
  ${If} ${FileExists} "$INSTDIR\quenwick.exe"
    Return
  ${EndIf}
  Push $INSTDIR
  Call IsKnownFolder
  Pop $0
  ${If} $0 = 1
    Return
  ${EndIf}
  FindFirst $Search $Found "$INSTDIR\*"
  ${DoWhile} $Found != ""
    ${If} $Found != "."
    ${AndIf} $Found != ".."
      ${If} $Found == "uninstall.exe"
        Push "$INSTDIR\$Found"
        Call IsQuenwickUninstaller
      ${Else}
        Push $Found
        Call IsOwnLeftover
      ${EndIf}
      Pop $0
      ${If} $0 = 0
        !insertmacro Refuse ${EXIT_FOLDER_NOT_EMPTY} FolderNotEmpty
        ${ExitDo}
      ${EndIf}
    ${EndIf}
    FindNext $Search $Found
  ${Loop}
  FindClose $Search
FunctionEnd

; Makes the folder and a file in it, then takes away all that it made. It runs under the mark of
; the install, so that the next run takes away what a cut-off try leaves.
Function CheckFolderIsWritable
  Call MakeFolder
  ClearErrors
  FileOpen $0 "$INSTDIR\quenwick.exe.new" w
  ${If} ${Errors}
    !insertmacro Refuse ${EXIT_FOLDER_NOT_WRITABLE} FolderNotWritable
  ${Else}
    FileClose $0
    !insertmacro StopForTests probing
    !insertmacro DeleteFileWaiting "" "$INSTDIR\quenwick.exe.new"
  ${EndIf}
  Call RemoveMadeFolders
FunctionEnd

; Stack out: 1 when $INSTDIR holds a whole install of this version, as every detection that the
; guide gives looks for one: its quenwick.exe of this version and its uninstaller, the Startup
; shortcut starting that program, and the entry naming this version and folder; else 0.
Function IsWholeInstall
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ${VERSION}
  ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe"
  ${OrIf} ${FileExists} "$INSTDIR\uninstall.exe\*.*"
    Push 0
    Return
  ${EndIf}
  Push "$INSTDIR\quenwick.exe"
  Call ProgramVersion
  Pop $0
  ${If} $0 != ${VERSION}
    Push 0
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Push $0
  Push $INSTDIR
  Call SameFolder
  Pop $0
  ${If} $0 = 0
    Push 0
    Return
  ${EndIf}
  Push $INSTDIR
  Call ShortcutStarts
FunctionEnd
