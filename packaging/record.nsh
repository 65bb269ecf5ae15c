; The record (data.dat) as the setup program handles it: whether one is valid, and putting one in
; place whole, written under a temporary name, flushed to the disk and renamed over data.dat, so that
; a cut-off install never leaves half a record for the next run to keep.

!define MOVEFILE_REPLACE_EXISTING 1
!define MOVEFILE_WRITE_THROUGH 8
!define /math RECORD_MOVE ${MOVEFILE_REPLACE_EXISTING} | ${MOVEFILE_WRITE_THROUGH}

Var RecordSearch ; what IsValidRecord has read: the file, whether it is UTF-16, the records done
Var RecordWide
Var RecordsRead
Var RecordText

; Stack out: the next character of the record being read, as its code, or -1 at its end; 256 for
; a UTF-16 character that no record holds.
Function ReadRecordCharacter
  ClearErrors
  FileReadByte $RecordSearch $0
  ${If} ${Errors}
    Push -1
    Return
  ${EndIf}
  ${If} $RecordWide = 1
    FileReadByte $RecordSearch $1
    ${IfThen} $1 <> 0 ${|} StrCpy $0 256 ${|}
  ${EndIf}
  Push $0
FunctionEnd

; Stack in: a record's path. Stack out: 1 when it holds four sizes, each -1 or decimal digits and
; each ending in a line break but for the last, which may end the file, in ASCII after the
; byte-order mark of UTF-8 or UTF-16 that admins' tools write; else 0. Quenwick reads these.
Function IsValidRecord
  Pop $0
  ClearErrors
  FileOpen $RecordSearch $0 r
  ${If} ${Errors}
    Push 0
    Return
  ${EndIf}
  StrCpy $RecordWide 0
  FileReadByte $RecordSearch $1
  FileReadByte $RecordSearch $2
  FileReadByte $RecordSearch $3
  ${If} "$1 $2 $3" == "239 187 191"
    Nop
  ${ElseIf} "$1 $2" == "255 254"
    StrCpy $RecordWide 1
    FileSeek $RecordSearch 2 SET
  ${Else}
    FileSeek $RecordSearch 0 SET
  ${EndIf}
  StrCpy $RecordsRead 0
  StrCpy $RecordText ""
  ${Do}
    Call ReadRecordCharacter
    Pop $0
    ${If} $0 = 13
      Call ReadRecordCharacter
      Pop $0
      ${IfThen} $0 <> 10 ${|} ${ExitDo} ${|}
    ${EndIf}
    ${If} $0 = 10
    ${OrIf} $0 = -1
      ${If} $RecordText != "-1"
        ${StrFilter} $RecordText "1" "" "" $1
        ${IfThen} $RecordText == "" ${|} ${ExitDo} ${|}
        ${IfThen} $1 != $RecordText ${|} ${ExitDo} ${|}
      ${EndIf}
      IntOp $RecordsRead $RecordsRead + 1
      StrCpy $RecordText ""
      ${IfThen} $RecordsRead = 4 ${|} ${ExitDo} ${|}
      ${IfThen} $0 = -1 ${|} ${ExitDo} ${|}
    ${ElseIf} $0 < 128
      IntFmt $1 "%c" $0
      StrCpy $RecordText "$RecordText$1"
      ; No size has more than ten digits.
      StrLen $1 $RecordText
      ${IfThen} $1 > 11 ${|} ${ExitDo} ${|}
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  FileClose $RecordSearch
  ${If} $RecordsRead = 4
    Push 1
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

; The name under which a record is written before it is renamed over data.dat: the one that the
; program itself uses, with this process's id, and which the setup program takes for its own.
!macro TemporaryRecord folder
  System::Call 'kernel32::GetCurrentProcessId() i .r9'
  StrCpy $9 "${folder}\data.dat.$9.tmp"
!macroend

; Stack in: an open file's handle and the file's path. Flushes the file to the disk, closes it and
; renames it over data.dat beside it. Sets the error flag when any of that fails.
Function PutRecordInPlace
  Pop $1
  Pop $0
  System::Call 'kernel32::FlushFileBuffers(p r0) i .r2'
  FileClose $0
  ${GetParent} $1 $3
  StrCpy $3 "$3\data.dat"
  System::Call 'kernel32::MoveFileExW(w r1, w r3, i ${RECORD_MOVE}) i .r4'
  ClearErrors
  ${If} $2 = 0
  ${OrIf} $4 = 0
    Delete $1
    SetErrors
  ${EndIf}
FunctionEnd

; Stack in: a record and a folder. Copies the record into the folder as its data.dat, whole or not
; at all; sets the error flag when it could not.
Function CopyRecord
  Pop $5
  Pop $6
  !insertmacro TemporaryRecord $5
  StrCpy $7 $9
  System::Call 'kernel32::CopyFileW(w r6, w r7, i 0) i .r0'
  ClearErrors
  ${If} $0 <> 0
    FileOpen $0 $7 a
  ${Else}
    SetErrors
  ${EndIf}
  ${If} ${Errors}
    Delete $7
    SetErrors
    Return
  ${EndIf}
  Push $0
  Push $7
  Call PutRecordInPlace
FunctionEnd

; Stack in: a folder. Writes into it a data.dat of four -1 records, which compares nothing, so that
; the first check records the sizes without its first-run notice; sets the error flag when it
; could not.
Function WriteQuietRecord
  Pop $5
  !insertmacro TemporaryRecord $5
  StrCpy $7 $9
  ClearErrors
  FileOpen $0 $7 w
  ${If} ${Errors}
    Return
  ${EndIf}
  ${For} $1 1 4
    FileWrite $0 "-1$\r$\n"
  ${Next}
  ${If} ${Errors}
    FileClose $0
    Delete $7
    SetErrors
    Return
  ${EndIf}
  Push $0
  Push $7
  Call PutRecordInPlace
FunctionEnd
