; What the setup program checks before it changes anything: the account, the version already
; installed, the folder, and whether the program is running. Each check that refuses leaves its
; exit code in $Refusal and its message, in the language of the pages, in $RefusalText; a
; $Refusal of 0 means go on.

; The exit codes, as docs/deploying.md lists them. Where Windows has a code that says the same,
; it is that one, which deployment tools already know: 1618 makes them try again later.
!define EXIT_FAILED 1603              ; ERROR_INSTALL_FAILURE: a step failed and was undone
!define EXIT_RUNNING 1618             ; ERROR_INSTALL_ALREADY_RUNNING
!define EXIT_NEWER_INSTALLED 1638     ; ERROR_PRODUCT_VERSION
!define EXIT_NOT_FOR_THIS_ACCOUNT 10  ; ERROR_BAD_ENVIRONMENT: a system account, or its folder
!define EXIT_FOLDER_NOT_WRITABLE 82   ; ERROR_CANNOT_MAKE
!define EXIT_FOLDER_NOT_EMPTY 145     ; ERROR_DIR_NOT_EMPTY
!define EXIT_FOLDER_TOO_LONG 206      ; ERROR_FILENAME_EXCED_RANGE

; The longest path that an install holds is the program's own temporary record,
; "data.dat.<process id>.tmp" (24 characters with its separator); on a Windows without long
; paths, every path must fit in MAX_PATH's 259 characters.
!define FOLDER_LENGTH_LIMIT 235

Var Refusal
Var RefusalText

!macro Refuse code message
  StrCpy $Refusal ${code}
  StrCpy $RefusalText "$(${message})"
!macroend

; Sets $R0 to 1 if path is the Windows folder or lies in it, to 0 if not.
!macro IsInWindowsFolder path
  StrLen $R0 $WINDIR
  StrCpy $R1 "${path}" $R0
  StrCpy $R2 "${path}" 1 $R0
  ${If} $R1 == $WINDIR
  ${AndIf} $R2 == "\"
  ${OrIf} "${path}" == $WINDIR
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
!macroend

; Sets $R9 to the version "major.minor.patch" of the program at path, or to "" without one.
!macro ProgramVersion path
  ClearErrors
  GetDLLVersion "${path}" $R0 $R1
  ${If} ${Errors}
    StrCpy $R9 ""
  ${Else}
    IntOp $R2 $R0 >> 16
    IntOp $R3 $R0 & 0xFFFF
    IntOp $R4 $R1 >> 16
    StrCpy $R9 "$R2.$R3.$R4"
  ${EndIf}
!macroend

; A per-user program installed for a system account, such as SYSTEM under a deployment tool,
; would never run: no such account logs on. Their profiles all lie in the Windows folder.
Function CheckAccount
  StrCpy $Refusal 0
  !insertmacro IsInWindowsFolder $PROFILE
  ${If} $R0 = 1
    !insertmacro Refuse ${EXIT_NOT_FOR_THIS_ACCOUNT} NotForThisAccount
  ${EndIf}
FunctionEnd

; A newer version, registered or in the chosen folder, is never replaced by this one; a registered
; install whose program has gone counts for nothing. $R9 keeps that version for the message.
Function CheckVersion
  StrCpy $Refusal 0
  ${If} ${FileExists} "$OldFolder\quenwick.exe"
    StrCpy $R9 $OldVersion
    ${VersionCompare} $R9 ${VERSION} $R0
    ${If} $R0 = 1
      !insertmacro Refuse ${EXIT_NEWER_INSTALLED} NewerInstalled
      Return
    ${EndIf}
  ${EndIf}
  !insertmacro ProgramVersion "$INSTDIR\quenwick.exe"
  ${VersionCompare} $R9 ${VERSION} $R0
  ${If} $R0 = 1
    !insertmacro Refuse ${EXIT_NEWER_INSTALLED} NewerInstalled
  ${EndIf}
FunctionEnd

; Whether $INSTDIR is a folder that the setup program may write into: one that Windows can start
; the program from and that a logon reaches, new, empty or Quenwick's own, and writable.
Function CheckFolder
  StrCpy $Refusal 0
  !insertmacro IsInWindowsFolder $INSTDIR
  ${If} $R0 = 1
    !insertmacro Refuse ${EXIT_NOT_FOR_THIS_ACCOUNT} FolderInWindows
    Return
  ${EndIf}
  StrLen $R0 $INSTDIR
  ${If} $R0 > ${FOLDER_LENGTH_LIMIT}
    !insertmacro Refuse ${EXIT_FOLDER_TOO_LONG} FolderTooLong
    Return
  ${EndIf}
  Call CheckFolderIsOurs
  ${If} $Refusal = 0
    Call CheckFolderIsWritable
  ${EndIf}
FunctionEnd

; Another program's files are never overwritten, nor taken for Quenwick's by its uninstaller: a
; folder that holds anything is used only if it holds quenwick.exe or is the registered install.
Function CheckFolderIsOurs
  ${If} ${FileExists} "$INSTDIR\quenwick.exe"
  ${OrIf} $INSTDIR == $OldFolder
    Return
  ${EndIf}
  FindFirst $R0 $R1 "$INSTDIR\*"
  ${DoWhile} $R1 != ""
    ${If} $R1 != "."
    ${AndIf} $R1 != ".."
      !insertmacro Refuse ${EXIT_FOLDER_NOT_EMPTY} FolderNotEmpty
      ${ExitDo}
    ${EndIf}
    FindNext $R0 $R1
  ${Loop}
  FindClose $R0
FunctionEnd

; Makes the folder and a file in it, then takes away all that it made.
Function CheckFolderIsWritable
  Call MakeFolder
  ClearErrors
  FileOpen $R0 "$INSTDIR\quenwick.exe.new" w
  ${If} ${Errors}
    !insertmacro Refuse ${EXIT_FOLDER_NOT_WRITABLE} FolderNotWritable
  ${Else}
    FileClose $R0
    Delete "$INSTDIR\quenwick.exe.new"
  ${EndIf}
  Call RemoveMadeFolders
FunctionEnd

; Waits for the quenwick.exe at path to end, as Windows lets no one open a running program's file
; for writing; sets $R0 to 1 if it still runs after five seconds, to 0 if it does not run.
!macro WaitForProgramToEnd path
  StrCpy $R0 0
  ${If} ${FileExists} "${path}"
    ${For} $R1 1 10
      ClearErrors
      FileOpen $R2 "${path}" a
      ${IfNot} ${Errors}
        FileClose $R2
        StrCpy $R0 0
        ${Break}
      ${EndIf}
      StrCpy $R0 1
      Sleep 500
    ${Next}
  ${EndIf}
!macroend

; The program running from a folder that is about to change is waited for; if it still runs, the
; user is asked to answer its box and retry, and a silent run refuses with EXIT_RUNNING.
!macro CheckProgramNotRunningFunction prefix
  Function ${prefix}CheckProgramNotRunning
    StrCpy $Refusal 0
    ${Do}
      !insertmacro WaitForProgramToEnd "$INSTDIR\quenwick.exe"
      ${If} $R0 = 0
      ${AndIf} $OldFolder != ""
      ${AndIf} $OldFolder != $INSTDIR
        !insertmacro WaitForProgramToEnd "$OldFolder\quenwick.exe"
      ${EndIf}
      ${If} $R0 = 0
        Return
      ${EndIf}
      ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" \
          /SD IDCANCEL IDCANCEL`
        ${ExitDo}
      ${EndIf}
    ${Loop}
    !insertmacro Refuse ${EXIT_RUNNING} ProgramRunning
  FunctionEnd
!macroend
!insertmacro CheckProgramNotRunningFunction ""
!insertmacro CheckProgramNotRunningFunction "un."

; Tells an interactive user why nothing was done, and sets the exit code for the refusal found.
!macro ReportRefusalFunction prefix
  Function ${prefix}ReportRefusal
    ; Whoever pressed Cancel on the Retry box has had the reason already.
    ${If} $Refusal <> ${EXIT_RUNNING}
      MessageBox MB_OK|MB_ICONSTOP "$RefusalText" /SD IDOK
    ${EndIf}
    SetErrorLevel $Refusal
  FunctionEnd
!macroend
!insertmacro ReportRefusalFunction ""
!insertmacro ReportRefusalFunction "un."
