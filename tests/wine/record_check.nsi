; Test program that says what the setup program makes of record files: for each file *.rec in the
; folder that its command line names, a line "<name> 1" in results.txt there when the setup
; program takes it for a valid record, else "<name> 0". Built with PACKAGING, the setup's folder.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SilentInstall silent
OutFile "${OUTFILE}"

!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!addincludedir "${PACKAGING}"
!include waiting.nsh
!include record.nsh

Var Folder
Var Results
Var Search
Var Found

Section
  ${GetParameters} $Folder
  FileOpen $Results "$Folder\results.txt" w
  FindFirst $Search $Found "$Folder\*.rec"
  ${DoWhile} $Found != ""
    Push "$Folder\$Found"
    Call IsValidRecord
    Pop $0
    FileWrite $Results "$Found $0$\r$\n"
    FindNext $Search $Found
  ${Loop}
  FindClose $Search
  FileClose $Results
SectionEnd
