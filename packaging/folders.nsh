; What the setup program and its uninstaller know of folders: a path in full, whether two paths name
; one folder, whether a path lies in the Windows folder, and which files only Quenwick leaves in a
; folder. Folders are told apart by what the file system says of them, never by their names, which
; a doubled separator, a "..", a short name or another drive letter can change.

!define FILE_READ_ATTRIBUTES 0x80
!define FILE_SHARE_ALL 7
!define OPEN_EXISTING 3
!define FILE_FLAG_BACKUP_SEMANTICS 0x02000000 ; what lets CreateFileW open a folder
!define INVALID_HANDLE_VALUE -1
!define FileIdInfo 18 ; FILE_INFO_BY_HANDLE_CLASS

; Lists of folders are held in one string, separated by "|", which no path contains.
Var FoldersLeft ; what the innermost ForEachFolderIn has still to go through
Var FolderNow

; Calls function with each folder of list on the stack, in order. What is left of the list waits
; on the stack below the folder while the function runs, so that the function may go through a
; list of its own; it must take the folder and leave the stack as it found it below that.
!macro ForEachFolderIn list function
  StrCpy $FoldersLeft ${list}
  ${DoWhile} $FoldersLeft != ""
    StrCpy $0 0
    ${Do}
      StrCpy $1 $FoldersLeft 1 $0
      ${IfThen} $1 == "|" ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $0 $0 + 1
    ${Loop}
    StrCpy $FolderNow $FoldersLeft $0
    IntOp $0 $0 + 1
    StrCpy $FoldersLeft $FoldersLeft "" $0
    Push $FoldersLeft
    Push $FolderNow
    Call ${function}
    Pop $FoldersLeft
  ${Loop}
!macroend

Var Walked    ; the folder that InWindowsFolder has come up to
Var Emptied   ; the folder that RemoveInstallFiles empties
Var Search    ; a FindFirst search, and the name that it has found
Var Found

; The functions that both programs need, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro FolderFunctions un

; Stack in: a path. Stack out: the path in full, as Windows resolves it: without "." or ".." steps,
; doubled separators or a separator at the end (but for a drive's root); "" for "".
Function ${un}FullPath
  Pop $0
  ${If} $0 == ""
    Push ""
    Return
  ${EndIf}
  System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 > 0
  ${AndIf} $2 < ${NSIS_MAX_STRLEN}
    StrCpy $0 $1
  ${EndIf}
  StrLen $1 $0
  StrCpy $2 $0 1 -1
  ${If} $1 > 3
  ${AndIf} $2 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  Push $0
FunctionEnd

; Stack in: a path. Stack out: what identifies the file or folder there, or "" when there is
; nothing there to open: the volume's serial number and the file's 128-bit ID (FILE_ID_INFO), which
; is unique on every file system, ReFS's too; where Windows gives none (Windows 7, FAT), the
; volume's serial number and the 64-bit file index, which is unique there.
Function ${un}FileIdentity
  Pop $0
  StrCpy $9 ""
  System::Call 'kernel32::CreateFileW(w r0, i ${FILE_READ_ATTRIBUTES}, i ${FILE_SHARE_ALL}, p 0, \
    i ${OPEN_EXISTING}, i ${FILE_FLAG_BACKUP_SEMANTICS}, p 0) p .r1'
  ${If} $1 P<> ${INVALID_HANDLE_VALUE}
    System::Alloc 52 ; BY_HANDLE_FILE_INFORMATION, which is larger than FILE_ID_INFO
    Pop $2
    System::Call 'kernel32::GetFileInformationByHandleEx(p r1, i ${FileIdInfo}, p r2, i 24) i .r3'
    ${If} $3 <> 0
      System::Call '*$2(l .r4, l .r5, l .r6)'
      StrCpy $9 "id:$4:$5:$6"
    ${Else}
      System::Call 'kernel32::GetFileInformationByHandle(p r1, p r2) i .r3'
      ${If} $3 <> 0
        ; Thirteen DWORDs: the volume's serial number is the eighth, the file index the last two.
        System::Call '*$2(i, i, i, i, i, i, i, i .r4, i, i, i, i .r5, i .r6)'
        StrCpy $9 "index:$4:$5:$6"
      ${EndIf}
    ${EndIf}
    System::Free $2
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  Push $9
FunctionEnd

; Stack in: two paths. Stack out: 1 when both name one file or folder that exists, else 0; one that
; does not exist yet is no other.
Function ${un}SameFolder
  Call ${un}FileIdentity
  Exch
  Call ${un}FileIdentity
  Pop $0
  Pop $1
  ${If} $0 != ""
  ${AndIf} $0 == $1
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

; Stack in: a file name. Stack out: 1 when only Quenwick leaves a file of that name: a program that
; an install cut off had not yet put in place (.new) or had set aside (.old), or the program's own
; temporary record, "data.dat.<process id>.tmp"; else 0.
Function ${un}IsOwnLeftover
  Pop $0
  ${Select} $0
  ${Case4} quenwick.exe.new quenwick.exe.old uninstall.exe.new uninstall.exe.old
    Push 1
    Return
  ${EndSelect}
  StrCpy $1 $0 9
  StrCpy $2 $0 "" -4
  StrLen $3 $0
  IntOp $3 $3 - 13
  StrCpy $4 $0 $3 9
  ${StrFilter} $4 "1" "" "" $5
  ${If} $1 == "data.dat."
  ${AndIf} $2 == ".tmp"
  ${AndIf} $3 > 0
  ${AndIf} $5 S== $4
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

; Stack in: a folder. Deletes what an install puts there and what the program writes there, then
; the folder itself if that leaves it empty; never anything else. An uninstaller that runs in place
; is left, as no running program's file can be deleted.
Function ${un}RemoveInstallFiles
  Pop $Emptied
  !insertmacro DeleteFileWaiting "${un}" "$Emptied\quenwick.exe"
  Push "$Emptied\uninstall.exe"
  Push $EXEPATH
  Call ${un}SameFolder
  Pop $0
  ${If} $0 = 0
    !insertmacro DeleteFileWaiting "${un}" "$Emptied\uninstall.exe"
  ${EndIf}
  !insertmacro DeleteFileWaiting "${un}" "$Emptied\data.dat"
  FindFirst $Search $Found "$Emptied\*"
  ${DoWhile} $Found != ""
    Push $Found
    Call ${un}IsOwnLeftover
    Pop $0
    ${If} $0 = 1
      !insertmacro DeleteFileWaiting "${un}" "$Emptied\$Found"
    ${EndIf}
    FindNext $Search $Found
  ${Loop}
  FindClose $Search
  RMDir $Emptied
FunctionEnd

; Stack in: a list of folders and a folder. Stack out: the list with the folder added at its end,
; unless the folder is "".
Function ${un}AddToList
  Pop $0
  Pop $1
  ${If} $0 == ""
    Push $1
  ${ElseIf} $1 == ""
    Push $0
  ${Else}
    Push "$1|$0"
  ${EndIf}
FunctionEnd

!macroend
!insertmacro FolderFunctions ""
!insertmacro FolderFunctions "un."

; Stack in: a program's path. Stack out: 1 when it is an uninstaller of Quenwick's, whose version
; information names Quenwick as its product, else 0.
Function IsQuenwickUninstaller
  Pop $0
  StrCpy $9 0
  System::Call 'version::GetFileVersionInfoSizeW(w r0, p 0) i .r1'
  ${If} $1 > 0
    System::Alloc $1
    Pop $2
    System::Call 'version::GetFileVersionInfoW(w r0, i 0, i r1, p r2) i .r3'
    ; The strings of the setup program and its uninstaller are in the table of no language.
    StrCpy $5 "\StringFileInfo\000004b0\ProductName"
    System::Call 'version::VerQueryValueW(p r2, w r5, *p .r6, *i .r7) i .r8'
    ${If} $3 <> 0
    ${AndIf} $8 <> 0
      System::Call '*$6(&w${NSIS_MAX_STRLEN} .r7)'
      ${IfThen} $7 S== "Quenwick" ${|} StrCpy $9 1 ${|}
    ${EndIf}
    System::Free $2
  ${EndIf}
  Push $9
FunctionEnd

; Stack in: a full path. Stack out: the folder that holds it, with a drive's root as "C:\", since
; "C:" alone is the current folder of drive C; "" above a drive's root or a share.
Function ParentFolder
  Pop $0
  ${GetParent} $0 $0
  StrCpy $1 $0 1 1
  StrLen $2 $0
  ${If} $2 = 2
  ${AndIf} $1 == ":"
    StrCpy $0 "$0\"
  ${ElseIf} $0 == "\"
    StrCpy $0 ""
  ${EndIf}
  Push $0
FunctionEnd

; Stack in: a full path. Stack out: 1 when it is the Windows folder or lies in it, else 0. Each
; folder on the path that exists, up to the drive's root, is compared with the Windows folder.
Function InWindowsFolder
  Pop $Walked
  ${DoUntil} $Walked == ""
    Push $Walked
    Push $WINDIR
    Call SameFolder
    Pop $0
    ${If} $0 = 1
      Push 1
      Return
    ${EndIf}
    Push $Walked
    Call ParentFolder
    Pop $Walked
  ${Loop}
  Push 0
FunctionEnd
