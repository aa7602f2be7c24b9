; The per-user installer of VIREL1_Service.exe, made by packaging/make-package.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSTAGE=<folder with the files>
;            -DFRONT=<uninstall.exe from uninstall.nsi> -DOUTFILE=<setup.exe>
;
; Installs without administrator rights into the user's own programs folder, so the log file
; beside the program stays writable; a Start-menu folder with the program and its guide; an
; entry in the installed programs list. Silent with /S. The uninstaller (silent with /S) removes
; the program and its shortcuts and keeps the log file, the trace and the stored settings unless
; they are ticked on its components page, or /PURGE is given.
; Neither changes anything while the installed program runs: they ask to close it, or, silent,
; end with exit code 2 (the uninstaller through its front, uninstall.nsi).
; A 64-bit installer for a 64-bit program (and for Windows without its 32-bit layer).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | FRONT | OUTFILE
  !error "VERSION, STAGE, FRONT and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include "${__FILEDIR__}\program.nsh"

!define GUIDE "VIREL1_Service_guide.html"
; The IT's pages that the guide links to, beside it.
!define JOURNAL_PAGE "VIREL1_Service_journal.html"
!define REGISTRY_PAGE "VIREL1_Service_registry.html"
!define GUIDE_TITLE "Руководство оператора"
; The settings live under Software\ + the program file's name without extension.
!define SETTINGS_KEY "Software\VIREL1_Service"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VIREL1_Service"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
; Where the program saves, at exit, the log lines that the log file beside it never took.
!define USER_DATA "$APPDATA\VIREL1_Service"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\VIREL1_Service"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${GUIDE}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Открыть руководство оператора"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "Журнал измерений, файл трассировки и сохранённые настройки окна остаются на компьютере, если их не отметить."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© KESTA, 2007. Все права защищены."

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Программа" SecProgram
  SectionIn RO
  ; An upgrade could not replace the running program (and its settings written at its exit
  ; would be the old one's).
  !insertmacro WaitUntilProgramCloses "$INSTDIR\${EXE}" "${RUNNING_INSTALL_TEXT}"
  ${If} $ProgramRuns = 1
    !insertmacro ExitCodeForRunningProgram
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\${GUIDE}"
  File "${STAGE}\${JOURNAL_PAGE}"
  File "${STAGE}\${REGISTRY_PAGE}"
  File "${STAGE}\LICENSE.txt"
  File "/oname=${UNINSTALL_FRONT}" "${FRONT}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  CreateShortCut "${MENU_FOLDER}\${GUIDE_TITLE}.lnk" "$INSTDIR\${GUIDE}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALL_FRONT}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALL_FRONT}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; For the front and this uninstaller's own file (the copy of it at work here runs from the
; temporary folder): both end once this copy has started, but may still be ending.
!macro DeleteOnceEnded FILE
  ${For} $0 1 100
    ClearErrors
    Delete "${FILE}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    Sleep 50
  ${Next}
!macroend

Section "un.Программа" UnSecProgram
  SectionIn RO
  ; Again here: the program may have been started while the pages showed, or this uninstaller
  ; without its front. Its settings and trace written at its exit would be left behind with no
  ; entry to remove them.
  !insertmacro WaitUntilProgramCloses "$INSTDIR\${EXE}" "${RUNNING_UNINSTALL_TEXT}"
  ${If} $ProgramRuns = 1
    !insertmacro ExitCodeForRunningProgram
    Abort
  ${EndIf}
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${GUIDE}"
  Delete "$INSTDIR\${JOURNAL_PAGE}"
  Delete "$INSTDIR\${REGISTRY_PAGE}"
  Delete "$INSTDIR\LICENSE.txt"
  !insertmacro DeleteOnceEnded "$INSTDIR\${UNINSTALL_FRONT}"
  !insertmacro DeleteOnceEnded "$INSTDIR\${UNINSTALLER}"
  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\${GUIDE_TITLE}.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only when empty: a log file kept below keeps the folder.
  RMDir "$INSTDIR"
SectionEnd

!macro DeleteOperatorData DIR
  Delete "${DIR}\VIREL1_Service.txt"
  Delete "${DIR}\VIREL1_Service.trace.txt"
  Delete "${DIR}\VIREL1_Service.harvest.txt"
  ; The dose journal with its write-ahead files, and the damaged ones it put aside.
  Delete "${DIR}\VIREL1_Service.db"
  Delete "${DIR}\VIREL1_Service.db-wal"
  Delete "${DIR}\VIREL1_Service.db-shm"
  Delete "${DIR}\VIREL1_Service.corrupt-*.db*"
!macroend

Section /o "un.Журнал измерений, журнал доз, трассировка и настройки" UnSecData
  !insertmacro DeleteOperatorData "$INSTDIR"
  !insertmacro DeleteOperatorData "${USER_DATA}"
  RMDir "${USER_DATA}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  SetShellVarContext current
  ; /PURGE: the operator's data goes too (for IT departments that wipe a PC).
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecData} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} "Программа, руководство и страницы для ИТ-службы, ярлыки в меню «Пуск» и запись в списке установленных программ."
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecData} "Журнал VIREL1_Service.txt (и его строки, сохранённые при выходе в %APPDATA%\VIREL1_Service), журнал доз VIREL1_Service.db (и записи, сохранённые туда же), файл трассировки VIREL1_Service.trace.txt и сохранённые настройки окна (порт, скорость, интервал, положение, папка архива)."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
