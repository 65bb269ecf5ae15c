; The Startup shortcut that starts Quenwick at every logon, and what it starts, made and read through
; COM's shell link by its item list: a path given to the shell link as text, as NSIS's
; CreateShortcut gives it, is one in which %NAME% is an environment variable, so that a folder
; named with "%OS%" in it would be started as "Windows_NT". Read so, a folder or a damaged file of
; the shortcut's name starts nothing.

!define STARTUP_SHORTCUT "$SMSTARTUP\Quenwick.lnk"
; Where the Startup apps pages of Settings and Task Manager record that the user turned a Startup
; folder's shortcut off, by its file name. An install never writes it, so that the choice holds
; over every rerun, repair and upgrade.
!define STARTUP_APPROVED_KEY \
  "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\StartupFolder"
; COM's shell link and its IPersistFile, and the indexes of the methods called.
!define CLSID_ShellLink "{00021401-0000-0000-C000-000000000046}"
!define IID_IShellLinkW "{000214F9-0000-0000-C000-000000000046}"
!define IID_IPersistFile "{0000010b-0000-0000-C000-000000000046}"
!define CLSCTX_INPROC_SERVER 1
!define QueryInterface 0
!define Release 2
!define IShellLinkW_GetIDList 4
!define IShellLinkW_SetIDList 5
!define IPersistFile_Load 5
!define IPersistFile_Save 6

; The functions that both programs need, in the setup program's form and, with "un.", in the
; uninstaller's.
!macro ShortcutFunctions un

; Stack out: the path of what the Startup shortcut starts, or "" when it cannot be read.
Function ${un}ShortcutTarget
  StrCpy $9 ""
  System::Call 'ole32::CoCreateInstance(g "${CLSID_ShellLink}", p 0, i ${CLSCTX_INPROC_SERVER}, \
    g "${IID_IShellLinkW}", *p .r1) i .r2'
  ${If} $2 = 0
    System::Call '$1->${QueryInterface}(g "${IID_IPersistFile}", *p .r3) i .r2'
    ${If} $2 = 0
      StrCpy $0 "${STARTUP_SHORTCUT}"
      System::Call '$3->${IPersistFile_Load}(w r0, i 0) i .r2'
      ${If} $2 = 0
        System::Call '$1->${IShellLinkW_GetIDList}(*p .r5) i .r2'
        ${If} $2 = 0
          System::Call 'shell32::SHGetPathFromIDListW(p r5, w .r4) i .r2'
          ${IfThen} $2 <> 0 ${|} StrCpy $9 $4 ${|}
          System::Call 'ole32::CoTaskMemFree(p r5)'
        ${EndIf}
      ${EndIf}
      System::Call '$3->${Release}()'
    ${EndIf}
    System::Call '$1->${Release}()'
  ${EndIf}
  Push $9
FunctionEnd

; Stack in: a folder. Stack out: 1 when the Startup shortcut starts quenwick.exe in that folder,
; else 0.
Function ${un}ShortcutStarts
  Call ${un}ShortcutTarget
  Pop $0
  ${GetFileName} $0 $1
  ${If} $1 != "quenwick.exe"
    Pop $0
    Push 0
    Return
  ${EndIf}
  ${GetParent} $0 $0
  Push $0
  Call ${un}SameFolder
FunctionEnd

!macroend
!insertmacro ShortcutFunctions ""
!insertmacro ShortcutFunctions "un."

; Stack in: the program to start. Makes the Startup shortcut start it, replacing any other, and sets
; the error flag when it cannot. The program need not be there yet: its item list is made from its
; path alone.
Function MakeShortcutTo
  Pop $0
  StrCpy $9 1
  System::Call 'shell32::SHSimpleIDListFromPath(w r0) p .r1'
  ${If} $1 P<> 0
    System::Call 'ole32::CoCreateInstance(g "${CLSID_ShellLink}", p 0, i ${CLSCTX_INPROC_SERVER}, \
      g "${IID_IShellLinkW}", *p .r2) i .r3'
    ${If} $3 = 0
      System::Call '$2->${IShellLinkW_SetIDList}(p r1) i .r3'
      System::Call '$2->${QueryInterface}(g "${IID_IPersistFile}", *p .r4) i .r5'
      ${If} $3 = 0
      ${AndIf} $5 = 0
        StrCpy $6 "${STARTUP_SHORTCUT}"
        System::Call '$4->${IPersistFile_Save}(w r6, i 1) i .r3'
        ${IfThen} $3 = 0 ${|} StrCpy $9 0 ${|}
        System::Call '$4->${Release}()'
      ${EndIf}
      System::Call '$2->${Release}()'
    ${EndIf}
    System::Call 'shell32::ILFree(p r1)'
  ${EndIf}
  ClearErrors
  ${IfThen} $9 = 1 ${|} SetErrors ${|}
FunctionEnd
