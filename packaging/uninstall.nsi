; uninstall.exe, the program of the installed programs list's entry, made by
; packaging/make-package.sh before the installer, which installs it:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DOUTFILE=<uninstall.exe> uninstall.nsi
;
; Runs the uninstaller proper (installer.nsi's) with the same options unless the installed
; program runs: removed while running, the program would stay, and at its exit write its
; settings and trace back, left behind with no entry to remove them. The uninstaller proper
; returns before it removes anything (see program.nsh), so only this one, which waits, can
; end with an exit code that says so: 2 when silent (/S), 1 when the operator cancels; else the
; uninstaller proper's (0 once it runs).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION | OUTFILE
  !error "VERSION and OUTFILE must be defined"
!endif

!include FileFunc.nsh
!include "${__FILEDIR__}\program.nsh"

Name "${PRODUCT}"
Caption "Удаление ${PRODUCT}"
OutFile "${OUTFILE}"
Icon "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Удаление ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© KESTA, 2007. Все права защищены."

; All the work is here: it shows no page of its own.
Function .onInit
  !insertmacro WaitUntilProgramCloses "$EXEDIR\${EXE}" "${RUNNING_UNINSTALL_TEXT}"
  ${If} $ProgramRuns = 1
    !insertmacro ExitCodeForRunningProgram
    Quit
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ExecWait '"$EXEDIR\${UNINSTALLER}" $0' $1
  ${If} ${Errors}
    SetErrorLevel 2
  ${Else}
    SetErrorLevel $1
  ${EndIf}
  Quit
FunctionEnd

Section
SectionEnd
