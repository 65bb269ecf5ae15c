; Renaming, replacing and deleting files while another program holds them for a moment: an
; antivirus or backup agent that opens a new or changed file, sharing reading and writing but not
; deleting, makes each of these fail at once. They are tried again, after pauses that double from
; 10 ms to 320 ms as the program's own waits do, for up to ten seconds (docs/deploying.md says why),
; and only then refused. A running program is told apart before any of this, by
; ProgramStillRuns.

!define ERROR_FILE_NOT_FOUND 2
!define ERROR_PATH_NOT_FOUND 3
!define ERROR_ACCESS_DENIED 5
!define ERROR_SHARING_VIOLATION 32
!define ERROR_LOCK_VIOLATION 33
!define HOLD_WAIT_LIMIT_MS 10000
!define HOLD_FIRST_PAUSE_MS 10
!define HOLD_LONGEST_PAUSE_MS 320

Var Waited  ; how long the current operation has waited, and its next pause, in milliseconds
Var Pause
Var HeldFile ; what the current operation renames or deletes, where to, and MoveFileExW's flags
Var HeldTarget
Var HeldFlags

; The functions that both programs need, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro WaitingFunctions un

; Stack in: the last error of a failed attempt. Stack out: 1 after a pause when the error may be a
; brief hold and the limit is not reached yet, so that the caller tries again; else 0. Each
; operation sets $Waited to 0 and $Pause to the first pause before its first attempt.
Function ${un}PauseForHold
  Pop $0
  ${If} $0 <> ${ERROR_SHARING_VIOLATION}
  ${AndIf} $0 <> ${ERROR_LOCK_VIOLATION}
  ${AndIf} $0 <> ${ERROR_ACCESS_DENIED}
    Push 0
    Return
  ${EndIf}
  ${If} $Waited >= ${HOLD_WAIT_LIMIT_MS}
    Push 0
    Return
  ${EndIf}
  Sleep $Pause
  IntOp $Waited $Waited + $Pause
  IntOp $Pause $Pause * 2
  ${IfThen} $Pause > ${HOLD_LONGEST_PAUSE_MS} ${|} StrCpy $Pause ${HOLD_LONGEST_PAUSE_MS} ${|}
  Push 1
FunctionEnd

; Stack in: a file. Deletes it, waiting out a brief hold; a file that is not there is deleted
; already, and a folder of its name is never a brief hold. Sets the error flag when it is still
; there, and clears it otherwise.
Function ${un}DeleteWaiting
  Pop $HeldFile
  ${If} ${FileExists} "$HeldFile\*.*"
    SetErrors
    Return
  ${EndIf}
  StrCpy $Waited 0
  StrCpy $Pause ${HOLD_FIRST_PAUSE_MS}
  ${Do}
    StrCpy $1 $HeldFile
    System::Call 'kernel32::DeleteFileW(w r1) i .r4 ?e'
    Pop $5
    ClearErrors
    ${If} $4 <> 0
    ${OrIf} $5 = ${ERROR_FILE_NOT_FOUND}
    ${OrIf} $5 = ${ERROR_PATH_NOT_FOUND}
      Return
    ${EndIf}
    Push $5
    Call ${un}PauseForHold
    Pop $0
  ${LoopWhile} $0 = 1
  SetErrors
FunctionEnd

!macroend
!insertmacro WaitingFunctions ""
!insertmacro WaitingFunctions "un."

; Only the setup program renames.
; Stack in: a file, where it goes and MoveFileExW's flags (top). Renames it, or replaces the target
; with it, waiting out a brief hold on either; sets the error flag when that fails, and clears it
; otherwise.
Function MoveWaiting
  Pop $HeldFlags
  Pop $HeldTarget
  Pop $HeldFile
  StrCpy $Waited 0
  StrCpy $Pause ${HOLD_FIRST_PAUSE_MS}
  ${Do}
    StrCpy $1 $HeldFile
    StrCpy $2 $HeldTarget
    StrCpy $3 $HeldFlags
    System::Call 'kernel32::MoveFileExW(w r1, w r2, i r3) i .r4 ?e'
    Pop $5
    ClearErrors
    ${IfThen} $4 <> 0 ${|} Return ${|}
    Push $5
    Call PauseForHold
    Pop $0
  ${LoopWhile} $0 = 1
  SetErrors
FunctionEnd

; Renames from to to, waiting out a brief hold; sets the error flag when that fails. Changes $0 to
; $9.
!macro MoveFileWaiting from to
  Push "${from}"
  Push "${to}"
  Push 0
  Call MoveWaiting
!macroend

; Deletes file, waiting out a brief hold; sets the error flag when it is still there. Changes $0
; to $9.
!macro DeleteFileWaiting un file
  Push "${file}"
  Call ${un}DeleteWaiting
!macroend
