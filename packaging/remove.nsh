; Removing an install: what the uninstaller does for its own folder, and the setup program's
; /Uninstall for the install that the registry names. Both also remove the folders that the mark
; of a cut-off install names, so that nothing is left that starts at logon and that no entry could
; remove.

Var OwnEntry ; whether the entry names the folder removed, and so goes with it
Var RefusalFolder ; the folder whose program could not be deleted, for the message
Var Removed ; the folder whose program DeleteProgramIn deletes

; The functions that both programs need, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro RemovalFunctions un

; Stack in: a folder. Deletes its quenwick.exe, refusing when that fails.
Function ${un}DeleteProgramIn
  Pop $Removed
  !insertmacro DeleteFileWaiting "${un}" "$Removed\quenwick.exe"
  ${If} ${FileExists} "$Removed\quenwick.exe"
  ${AndIf} $Refusal = 0
    StrCpy $RefusalFolder $Removed
    !insertmacro Refuse ${EXIT_FAILED} UninstallFailed
  ${EndIf}
FunctionEnd

; Stack in: a folder. Deletes the Startup shortcut when it starts quenwick.exe in that folder, and
; the choice that Settings' Startup apps page recorded for it: one that starts another copy, such
; as one that the user set up from the portable zip, is not this install's.
Function ${un}RemoveShortcutTo
  Call ${un}ShortcutStarts
  Pop $0
  ${If} $0 = 1
    !insertmacro DeleteFileWaiting "${un}" "${STARTUP_SHORTCUT}"
    DeleteRegValue HKCU "${STARTUP_APPROVED_KEY}" "Quenwick.lnk"
  ${EndIf}
FunctionEnd

; Removes what an install made in $INSTDIR and in $OtherFolders, and what the program writes
; there, and nothing else: a folder goes only when that leaves it empty, the shortcut only when it
; starts one of their programs, and the entry only when $OwnEntry is 1. A running program is
; waited for, and nothing is removed while it runs; the programs go first, and the entry last, so
; that a removal that fails or is cut off can be run again.
Function ${un}RemoveInstall
  Call ${un}CheckProgramNotRunning
  ${If} $Refusal <> 0
    Return
  ${EndIf}
  Push $INSTDIR
  Call ${un}DeleteProgramIn
  !insertmacro ForEachFolderIn $OtherFolders ${un}DeleteProgramIn
  ${If} $Refusal <> 0
    Return
  ${EndIf}
  Push $INSTDIR
  Call ${un}RemoveShortcutTo
  !insertmacro ForEachFolderIn $OtherFolders ${un}RemoveShortcutTo
  Push $INSTDIR
  Call ${un}RemoveInstallFiles
  !insertmacro ForEachFolderIn $OtherFolders ${un}RemoveInstallFiles
  ; An install made %LOCALAPPDATA%\Programs if it was missing; it goes when nothing else is in it.
  RMDir "$LOCALAPPDATA\Programs"
  ${If} $OwnEntry = 1
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
FunctionEnd

!macroend
!insertmacro RemovalFunctions ""
!insertmacro RemovalFunctions "un."

; The setup program's /Uninstall: removes the install that the registry names, with every folder of
; an install that was cut off, as uninstall-quenwick.cmd asks; nothing installed is no refusal.
Function UninstallRegistered
  StrCpy $Refusal 0
  ${If} $KnownFolders == ""
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Return
  ${EndIf}
  ; The first known folder is the registered one, or else the one that a cut-off install was
  ; going to.
  ${WordFind} $KnownFolders "|" "+1" $INSTDIR
  Call FindOtherFolders
  StrCpy $OwnEntry 1
  Call RemoveInstall
FunctionEnd
