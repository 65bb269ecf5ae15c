; The record (data.dat) as the setup program handles it: whether one is valid, and putting one in
; place whole, written under a temporary name, flushed to the disk and renamed over data.dat, so that
; a cut-off install never leaves half a record for the next run to keep.

; A rename on one volume, as this is, is journaled, but its data is not: the record is flushed with
; FlushFileBuffers before it is renamed. MOVEFILE_WRITE_THROUGH would flush only a move that copies.
!define MOVEFILE_REPLACE_EXISTING 1
; As much of a record as the program reads (its BaselineReadLimit).
!define RECORD_READ_LIMIT 128

Var RecordFile  ; what ReadRecordHead reads: the file, whether it is UTF-16, what it has read of it
Var RecordWide
Var RecordHead  ; and whether that is the whole file
Var RecordWhole
Var RecordTemporary ; the temporary record that PutRecordInPlace puts in place

; Stack in: a record's path. Sets $RecordHead to its first RECORD_READ_LIMIT bytes as text, without
; the byte-order mark of UTF-8 or UTF-16 LE that admins' tools write, and with "?" for each byte
; or character that no record holds; to "?" alone for UTF-16 that holds anything but ASCII, or is
; cut in a character, which the program takes for damage wherever it stands; to "" when there is
; no file to read. $RecordWhole is 1 when that is all of the file.
Function ReadRecordHead
  Pop $0
  StrCpy $RecordHead ""
  StrCpy $RecordWhole 1
  ClearErrors
  FileOpen $RecordFile $0 r
  ${If} ${Errors}
    Return
  ${EndIf}
  FileSeek $RecordFile 0 END $1
  FileSeek $RecordFile 0 SET
  ${If} $1 >= ${RECORD_READ_LIMIT}
    StrCpy $1 ${RECORD_READ_LIMIT}
    StrCpy $RecordWhole 0
  ${EndIf}
  StrCpy $RecordWide 0
  FileReadByte $RecordFile $2
  FileReadByte $RecordFile $3
  FileReadByte $RecordFile $4
  ${If} "$2 $3 $4" == "239 187 191"
    IntOp $1 $1 - 3
  ${ElseIf} "$2 $3" == "255 254"
    StrCpy $RecordWide 1
    IntOp $1 $1 - 2
    FileSeek $RecordFile 2 SET
  ${Else}
    FileSeek $RecordFile 0 SET
  ${EndIf}
  ${DoWhile} $1 > 0
    FileReadByte $RecordFile $2
    IntOp $1 $1 - 1
    ${If} $RecordWide = 1
      ${If} $1 = 0
        StrCpy $RecordHead "?"
        ${ExitDo}
      ${EndIf}
      FileReadByte $RecordFile $3
      IntOp $1 $1 - 1
      ${If} $3 <> 0
      ${OrIf} $2 > 127
        StrCpy $RecordHead "?"
        ${ExitDo}
      ${EndIf}
    ${EndIf}
    ${If} $2 > 0
    ${AndIf} $2 < 128
      IntFmt $2 "%c" $2
    ${Else}
      StrCpy $2 "?"
    ${EndIf}
    StrCpy $RecordHead "$RecordHead$2"
  ${Loop}
  FileClose $RecordFile
FunctionEnd

; Stack in: a record's path. Stack out: 1 when the program takes it for a record, else 0: four
; records, each an optional minus sign and decimal digits whose value is -1 or a size of 0 to
; 2147483647 (so "-0" and leading zeros too), each ending in CR LF or LF, but for the fourth,
; which may end the file if the file is shorter than what the program reads. Whatever follows the
; fourth is not looked at.
Function IsValidRecord
  Call ReadRecordHead
  StrCpy $2 0 ; where in $RecordHead the next record begins
  ${For} $3 1 4
    StrCpy $5 "" ; its sign, and its digits without leading zeros, and how many digits it has
    StrCpy $6 ""
    StrCpy $7 0
    StrCpy $4 $RecordHead 1 $2
    ${If} $4 == "-"
      StrCpy $5 "-"
      IntOp $2 $2 + 1
    ${EndIf}
    ${Do}
      StrCpy $4 $RecordHead 1 $2
      ${StrFilter} $4 "1" "" "" $8
      ${If} $4 == ""
      ${OrIf} $8 != $4
        ${ExitDo}
      ${EndIf}
      IntOp $7 $7 + 1
      IntOp $2 $2 + 1
      ${If} $6 != ""
      ${OrIf} $4 != "0"
        StrCpy $6 "$6$4"
      ${EndIf}
    ${Loop}
    StrLen $8 $6
    ${If} $7 = 0
    ${OrIf} $8 > 10
      Push 0
      Return
    ${EndIf}
    ; Of the negative values, only -1 (and -0, which is 0).
    ${If} $5 == "-"
    ${AndIf} $6 != ""
    ${AndIf} $6 != "1"
      Push 0
      Return
    ${EndIf}
    ; Digit strings of one length compare as their values do.
    ${If} $8 = 10
    ${AndIf} $6 S> "2147483647"
      Push 0
      Return
    ${EndIf}
    StrCpy $4 $RecordHead 2 $2
    StrCpy $8 $4 1
    ${If} $4 == "$\r$\n"
      IntOp $2 $2 + 2
    ${ElseIf} $8 == "$\n"
      IntOp $2 $2 + 1
    ${ElseIf} $4 != ""
    ${OrIf} $RecordWhole = 0
    ${OrIf} $3 < 4
      Push 0
      Return
    ${EndIf}
  ${Next}
  Push 1
FunctionEnd

; The name under which a record is written before it is renamed over data.dat: the one that the
; program itself uses, with this process's id, and which the setup program takes for its own.
!macro TemporaryRecord folder
  System::Call 'kernel32::GetCurrentProcessId() i .r9'
  StrCpy $9 "${folder}\data.dat.$9.tmp"
!macroend

; Stack in: an open file's handle and the file's path. Flushes the file to the disk, closes it and
; renames it over data.dat beside it, waiting out a brief hold on either. Sets the error flag when
; any of that fails, and then deletes the file.
Function PutRecordInPlace
  Pop $RecordTemporary
  Pop $0
  System::Call 'kernel32::FlushFileBuffers(p r0) i .r1'
  FileClose $0
  ClearErrors
  ${If} $1 <> 0
    ${GetParent} $RecordTemporary $0
    Push $RecordTemporary
    Push "$0\data.dat"
    Push ${MOVEFILE_REPLACE_EXISTING}
    Call MoveWaiting
  ${Else}
    SetErrors
  ${EndIf}
  ${If} ${Errors}
    !insertmacro DeleteFileWaiting "" $RecordTemporary
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
    !insertmacro DeleteFileWaiting "" $7
    SetErrors
    Return
  ${EndIf}
  Push $0
  Push $7
  Call PutRecordInPlace
FunctionEnd

; With /QuietFirstLogon, the one place that reads it, writes into $INSTDIR, when it has no record,
; a data.dat of four -1 records, which compares nothing, so that the first check records the sizes
; without its first-run notice. Stack out: 1 when it began to write one, else 0; sets the error
; flag when it could not, and clears it otherwise.
Function WriteQuietRecordIfAsked
  ClearErrors
  ${GetOptions} $CMDLINE "/QuietFirstLogon" $0
  ${If} ${Errors}
  ${OrIf} ${FileExists} "$INSTDIR\data.dat"
    ClearErrors
    Push 0
    Return
  ${EndIf}
  !insertmacro TemporaryRecord $INSTDIR
  StrCpy $RecordTemporary $9
  FileOpen $0 $RecordTemporary w
  ${IfNot} ${Errors}
    ${For} $1 1 4
      FileWrite $0 "-1$\r$\n"
    ${Next}
    ${If} ${Errors}
      FileClose $0
      !insertmacro DeleteFileWaiting "" $RecordTemporary
      SetErrors
    ${Else}
      Push $0
      Push $RecordTemporary
      Call PutRecordInPlace
    ${EndIf}
  ${EndIf}
  Push 1
FunctionEnd
