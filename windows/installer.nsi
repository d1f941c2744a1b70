; The Windows installer, tamsel-VERSION-setup.exe: a per-user install (no
; administrator) of tamselexport.exe, and of tamselplay.exe when the build
; has it, with the manuals as text, a Start menu folder, the "Convert to WAV"
; and "Convert to FLAC" verbs for .tsm files, .tsm opened by the player, an
; optional PATH entry, and an uninstaller in Apps & features that takes away
; exactly what was added. Built on Linux by the Windows build's `installer`
; target (cmake/windows_installer.cmake) with Debian's nsis:
;
;   makensis -DVERSION=X.Y.Z -DSTAGE_DIR=DIR -DOUTFILE=FILE installer.nsi
;
; STAGE_DIR holds the files of the release archive (the .exe files, the
; manuals as text, README.txt, LICENSE.txt, examples). Silent use:
;
;   tamsel-X.Y.Z-setup.exe /S [/PATH=yes|no] [/D=FOLDER]   (/D last, unquoted)
;   uninstall.exe /S
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "tamselexport"
!define PUBLISHER "The tamselexport developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define CLASSES "Software\Classes"
!define PROGID "tamsel.song"
; The verbs live under SystemFileAssociations, so they are offered whatever
; program opens .tsm files.
!define VERBS "${CLASSES}\SystemFileAssociations\.tsm\shell"
!define START_MENU "$SMPROGRAMS\${PRODUCT}"
!if /FileExists "${STAGE_DIR}/tamselplay.exe"
  !define HAVE_PLAYER
!endif
!if /FileExists "${STAGE_DIR}/tamselplay-manual.txt"
  !define HAVE_PLAYER_MANUAL
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "MIT licence"

!insertmacro MUI_PAGE_LICENSE "${STAGE_DIR}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- The files: one list, read by the install and by the uninstall -----------

!macro PutFile SOURCE NAME
  File "/oname=${NAME}" "${SOURCE}"
!macroend
!macro TakeFile SOURCE NAME
  Delete "$INSTDIR\${NAME}"
!macroend
!macro EachFile OP
  !insertmacro ${OP} "${STAGE_DIR}/tamselexport.exe" "tamselexport.exe"
  !insertmacro ${OP} "${STAGE_DIR}/tamselexport-manual.txt" "tamselexport-manual.txt"
  !ifdef HAVE_PLAYER
    !insertmacro ${OP} "${STAGE_DIR}/tamselplay.exe" "tamselplay.exe"
  !endif
  !ifdef HAVE_PLAYER_MANUAL
    !insertmacro ${OP} "${STAGE_DIR}/tamselplay-manual.txt" "tamselplay-manual.txt"
  !endif
  !insertmacro ${OP} "${STAGE_DIR}/README.txt" "README.txt"
  !insertmacro ${OP} "${STAGE_DIR}/LICENSE.txt" "LICENSE.txt"
  !insertmacro ${OP} "${STAGE_DIR}/examples/demo.tsm" "examples\demo.tsm"
!macroend

!macro EachShortcut OP
  ; A command prompt in the install folder (the shortcut's working folder).
  !insertmacro ${OP} "${START_MENU}\${PRODUCT} command prompt.lnk" "$SYSDIR\cmd.exe" "/k tamselexport.exe --help"
  !insertmacro ${OP} "${START_MENU}\${PRODUCT} manual.lnk" "$INSTDIR\tamselexport-manual.txt" ""
  !ifdef HAVE_PLAYER_MANUAL
    !insertmacro ${OP} "${START_MENU}\tamselplay manual.lnk" "$INSTDIR\tamselplay-manual.txt" ""
  !endif
  !insertmacro ${OP} "${START_MENU}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe" ""
!macroend
!macro PutShortcut LINK TARGET PARAMETERS
  CreateShortCut "${LINK}" "${TARGET}" "${PARAMETERS}"
!macroend
!macro TakeShortcut LINK TARGET PARAMETERS
  Delete "${LINK}"
!macroend

; A context-menu verb that converts the song beside itself; on failure the
; window stays open so that the one-line reason can be read.
!macro PutVerb KEY LABEL FORMAT
  WriteRegStr HKCU "${VERBS}\${KEY}" "" "${LABEL}"
  WriteRegStr HKCU "${VERBS}\${KEY}\command" "" \
    '"$SYSDIR\cmd.exe" /d /c ""$INSTDIR\tamselexport.exe" -f ${FORMAT} "%1" & if errorlevel 1 pause"'
!macroend

; --- PATH entries ---------------------------------------------------------------

Var PathRest
Var PathItem

; Splits the first entry off $PathRest, a PATH value with a ";" appended so
; that every entry ends in one, into $PathItem; the error flag is set when
; no entry is left.
!macro NextPathEntryFunction UN
  Function ${UN}NextPathEntry
    Push $0
    Push $1
    ClearErrors
    ${If} $PathRest == ""
      SetErrors
      Goto done
    ${EndIf}
    StrCpy $0 0
    ${Do}
      StrCpy $1 $PathRest 1 $0
      ${If} $1 == ";"
        ${ExitDo}
      ${EndIf}
      IntOp $0 $0 + 1
    ${Loop}
    StrCpy $PathItem $PathRest $0
    IntOp $0 $0 + 1
    StrCpy $PathRest $PathRest "" $0
    done:
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro NextPathEntryFunction ""
!insertmacro NextPathEntryFunction "un."

; Reads the user's PATH into $0; $1 is "missing" when there is none, "ok"
; when it was read whole, "too long" when NSIS strings cannot hold it (it
; is then left untouched: a truncated value written back would lose
; entries).
!macro ReadUserPathFunction UN
  Function ${UN}ReadUserPath
    Push $2
    Push $3
    StrCpy $1 "missing"
    StrCpy $2 0
    ${Do}
      ClearErrors
      EnumRegValue $3 HKCU "Environment" $2
      ${If} ${Errors}
      ${OrIf} $3 == ""
        ${ExitDo}
      ${EndIf}
      ${If} $3 == "Path"
        StrCpy $1 "ok"
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 ""
    ${If} $1 == "ok"
      ClearErrors
      ReadRegStr $0 HKCU "Environment" "Path"
      StrLen $2 $0
      IntOp $2 $2 + 1
      ${If} ${Errors}
      ${OrIf} $2 >= ${NSIS_MAX_STRLEN}
        StrCpy $1 "too long"
      ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
  FunctionEnd
!macroend
!insertmacro ReadUserPathFunction ""
!insertmacro ReadUserPathFunction "un."

!macro TellSettingChange
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; Appends $INSTDIR to the user's PATH unless it is there already, and
; records the entry in the uninstall key so that the uninstaller removes it
; and only it.
Function AddToPath
  Call ReadUserPath
  ${If} $1 == "too long"
    MessageBox MB_ICONEXCLAMATION|MB_OK "Your PATH is too long for this installer to change it safely; add $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  StrCpy $PathRest "$0;"
  ${Do}
    Call NextPathEntry
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${If} $PathItem == $INSTDIR
      DetailPrint "$INSTDIR is on the PATH already"
      Return
    ${EndIf}
  ${Loop}
  StrCpy $2 $0 1 -1
  ${If} $0 == ""
  ${OrIf} $2 == ";"
    StrCpy $0 "$0$INSTDIR"
  ${Else}
    StrCpy $0 "$0;$INSTDIR"
  ${EndIf}
  StrLen $2 $0
  ${If} $2 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_ICONEXCLAMATION|MB_OK "Your PATH is too long for this installer to change it safely; add $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  WriteRegExpandStr HKCU "Environment" "Path" $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "PathEntry" $INSTDIR
  !insertmacro TellSettingChange
  DetailPrint "Added $INSTDIR to the PATH"
FunctionEnd

; Removes the last entry equal to the recorded one (the one appended), and
; keeps every other entry, empty ones included, in its order.
Function un.RemoveFromPath
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "PathEntry"
  ${If} $R0 == ""
    Return
  ${EndIf}
  Call un.ReadUserPath
  ${If} $1 != "ok"
    DetailPrint "The PATH is $1; remove $R0 from it yourself"
    Return
  ${EndIf}
  ; The first pass finds which entry is the last match.
  StrCpy $R1 0
  StrCpy $R2 0
  StrCpy $PathRest "$0;"
  ${Do}
    Call un.NextPathEntry
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    IntOp $R1 $R1 + 1
    ${If} $PathItem == $R0
      StrCpy $R2 $R1
    ${EndIf}
  ${Loop}
  ${If} $R2 == 0
    Return
  ${EndIf}
  StrCpy $R1 0
  StrCpy $R3 ""
  StrCpy $R4 0
  StrCpy $PathRest "$0;"
  ${Do}
    Call un.NextPathEntry
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    IntOp $R1 $R1 + 1
    ${If} $R1 == $R2
      ${Continue}
    ${EndIf}
    ${If} $R4 == 0
      StrCpy $R3 $PathItem
    ${Else}
      StrCpy $R3 "$R3;$PathItem"
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  ${If} $R4 == 0
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $R3
  ${EndIf}
  !insertmacro TellSettingChange
  DetailPrint "Removed $R0 from the PATH"
FunctionEnd

; Deletes a key that holds neither values nor subkeys (DeleteRegKey /ifempty
; would take a key's values with it).
Function un.DeleteKeyIfEmpty
  Exch $0
  Push $1
  ClearErrors
  EnumRegKey $1 HKCU $0 0
  ${IfNot} ${Errors}
  ${AndIf} $1 == ""
    EnumRegValue $1 HKCU $0 0
    ${If} $1 == ""
      DeleteRegKey HKCU $0
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macro DeleteKeyIfEmpty KEY
  Push "${KEY}"
  Call un.DeleteKeyIfEmpty
!macroend

; --- Sections -----------------------------------------------------------------

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  CreateDirectory "$INSTDIR\examples"
  !insertmacro EachFile PutFile
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext current
  CreateDirectory "${START_MENU}"
  !insertmacro EachShortcut PutShortcut

  !insertmacro PutVerb "tamsel.wav" "Convert to WAV" "wav"
  !insertmacro PutVerb "tamsel.flac" "Convert to FLAC" "flac"
  !ifdef HAVE_PLAYER
    WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "TSM tracker song"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\tamselplay.exe,0"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\tamselplay.exe" "%1"'
    WriteRegStr HKCU "${CLASSES}\.tsm\OpenWithProgids" "${PROGID}" ""
    ; Another program's association, made by the user, is left in place.
    ReadRegStr $0 HKCU "${CLASSES}\.tsm" ""
    ${If} $0 == ""
      WriteRegStr HKCU "${CLASSES}\.tsm" "" "${PROGID}"
    ${EndIf}
  !endif
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tamselexport.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Add to the PATH" SecPath
  Call AddToPath
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The tools, their manuals, the Start menu folder and the .tsm file's verbs."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Add the folder to your PATH, so that a command prompt finds the tools."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; /PATH=yes or /PATH=no chooses the PATH section, for silent installs too.
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH=" $1
  ${If} ${Errors}
    Return
  ${EndIf}
  ${If} $1 == "yes"
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${ElseIf} $1 == "no"
    SectionSetFlags ${SecPath} 0
  ${Else}
    MessageBox MB_ICONSTOP|MB_OK "/PATH= takes yes or no, not $\"$1$\"" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.RemoveFromPath

  !insertmacro EachFile TakeFile
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\examples"
  RMDir "$INSTDIR"

  SetShellVarContext current
  !insertmacro EachShortcut TakeShortcut
  RMDir "${START_MENU}"

  DeleteRegKey HKCU "${VERBS}\tamsel.wav"
  DeleteRegKey HKCU "${VERBS}\tamsel.flac"
  !insertmacro DeleteKeyIfEmpty "${VERBS}"
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\SystemFileAssociations\.tsm"
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\SystemFileAssociations"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegValue HKCU "${CLASSES}\.tsm\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\.tsm\OpenWithProgids"
  ReadRegStr $0 HKCU "${CLASSES}\.tsm" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKCU "${CLASSES}\.tsm" ""
  ${EndIf}
  !insertmacro DeleteKeyIfEmpty "${CLASSES}\.tsm"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
