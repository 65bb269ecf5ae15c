; Which folder an install goes to, and which folders it leaves: those of the install that the
; registry names, and those of an install that was cut off, as its mark in the registry says.

; The install that Apps & features knows of, if any: its folder, version and size in KiB.
Var OldFolder
Var OldVersion
Var OldSize
; The mark of an install that was cut off, as the registry holds it: the folder it was going to,
; and the folders it was leaving; "" when there is none. UnfinishedTo is the first in full.
Var MarkedTo
Var MarkedFrom
Var UnfinishedTo
; Every folder that may hold Quenwick's files: the registered one and those of the mark. And those
; of them that the install leaves, which are not $INSTDIR.
Var KnownFolders
Var OtherFolders
Var Compared ; the folder that IsKnownFolder compares, and whether it found it
Var Matched
Var Considered ; the known folder that AddIfOtherFolder considers

; Stack out: 1 when the command line names the folder with /D=, else 0. The setup program's own
; $CMDLINE has /D= taken out of it already; the process's command line still holds it.
Function FolderWasGiven
  System::Call 'kernel32::GetCommandLineW() w .r0'
  ClearErrors
  ${GetOptionsS} $0 "/D=" $1
  ${If} ${Errors}
    Push 0
  ${Else}
    Push 1
  ${EndIf}
FunctionEnd

; Stack in: a folder. Stack out: 1 when it is one of $KnownFolders, else 0.
Function IsKnownFolder
  Pop $Compared
  StrCpy $Matched 0
  !insertmacro ForEachFolderIn $KnownFolders MatchKnownFolder
  Push $Matched
FunctionEnd

Function MatchKnownFolder
  Push $Compared
  Call SameFolder
  Pop $0
  ${If} $0 = 1
    StrCpy $Matched 1
  ${EndIf}
FunctionEnd

; $INSTDIR in full; and after an install that was cut off, the folder that it was going to, so
; that this run finishes it, unless /D= names a folder that it did not touch.
Function ChooseFolder
  Push $INSTDIR
  Call FullPath
  Pop $INSTDIR
  ${If} $UnfinishedTo == ""
    Return
  ${EndIf}
  Call FolderWasGiven
  Pop $0
  ${If} $0 = 1
    Push $INSTDIR
    Call IsKnownFolder
    Pop $0
  ${Else}
    StrCpy $0 1
  ${EndIf}
  ${If} $0 = 1
    StrCpy $INSTDIR $UnfinishedTo
  ${EndIf}
FunctionEnd

; The functions that both programs need, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro RegisteredInstallFunctions un

; Reads what the registry says of an install of Quenwick's, finished or not.
Function ${un}ReadRegisteredInstall
  ReadRegStr $OldFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $OldVersion HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegDWORD $OldSize HKCU "${UNINSTALL_KEY}" "EstimatedSize"
  ReadRegStr $MarkedTo HKCU "${UNINSTALL_KEY}" "MovingTo"
  ReadRegStr $MarkedFrom HKCU "${UNINSTALL_KEY}" "MovingFrom"
  Push $MarkedTo
  Call ${un}FullPath
  Pop $UnfinishedTo
  Push $OldFolder
  Call ${un}FullPath
  Pop $OldFolder
  Push $OldFolder
  Push $UnfinishedTo
  Call ${un}AddToList
  Push $MarkedFrom
  Call ${un}AddToList
  Pop $KnownFolders
FunctionEnd

; Sets $OtherFolders to the known folders that are there and are not $INSTDIR, in their order.
Function ${un}FindOtherFolders
  StrCpy $OtherFolders ""
  !insertmacro ForEachFolderIn $KnownFolders ${un}AddIfOtherFolder
FunctionEnd

; Stack in: a known folder.
Function ${un}AddIfOtherFolder
  Pop $Considered
  ${IfNot} ${FileExists} "$Considered\*.*"
    Return
  ${EndIf}
  Push $Considered
  Push $INSTDIR
  Call ${un}SameFolder
  Pop $0
  ${If} $0 = 0
    Push $OtherFolders
    Push $Considered
    Call ${un}AddToList
    Pop $OtherFolders
  ${EndIf}
FunctionEnd

!macroend
!insertmacro RegisteredInstallFunctions ""
!insertmacro RegisteredInstallFunctions "un."
