; What the installer (installer.nsi) and the uninstaller's front (uninstall.nsi) share: the
; product's names and the check that the installed program is not running.
!include LogicLib.nsh

!define PRODUCT "ВИРЕЛ1 Сервис"
!define PUBLISHER "KESTA"
!define EXE "VIREL1_Service.exe"
; The uninstall entry's program: it refuses while the program runs, else starts the uninstaller
; proper (a program cannot delete its own file, so that one hands its work to a copy of itself
; in the temporary folder and returns at once, too early to report anything).
!define UNINSTALL_FRONT "uninstall.exe"
!define UNINSTALLER "uninstall-worker.exe"

!define RUNNING_UNINSTALL_TEXT "Программа ${PRODUCT} запущена. Закройте её и повторите попытку или отмените удаление."
!define RUNNING_INSTALL_TEXT "Программа ${PRODUCT} запущена. Закройте её и повторите попытку или отмените установку."
; Exit codes when the program runs: refused silently, or cancelled by the operator (as the
; installer's own Cancel button).
!define EXIT_PROGRAM_RUNS 2
!define EXIT_CANCELLED 1

Var ProgramRuns

; Leaves $ProgramRuns 1 while the program file EXE_PATH runs, else 0, asking the operator to
; close it (Retry checks again); silently it does not ask.
; A running program's file cannot be opened for writing on Windows, nor under Wine: that finds
; this very file running whatever path or name started it, without a change to the program or
; a plug-in. A window class or a process name would also find copies elsewhere, which may run.
; The program writes its settings and trace before its process ends, so a free file means it
; is done writing.
!macro WaitUntilProgramCloses EXE_PATH QUESTION
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R2 "${EXE_PATH}"
  ${Do}
    StrCpy $ProgramRuns 0
    ; GENERIC_WRITE, sharing everything, OPEN_EXISTING: opening changes nothing.
    System::Call "kernel32::CreateFileW(w R2, i 0x40000000, i 7, p 0, i 3, i 0, p 0) p.R0 ?e"
    Pop $R1
    ${If} $R0 P<> -1
      System::Call "kernel32::CloseHandle(p R0)"
      ${Break}
    ${EndIf}
    ; ERROR_SHARING_VIOLATION; any other failure (no such file) is no running program.
    ${If} $R1 <> 32
      ${Break}
    ${EndIf}
    StrCpy $ProgramRuns 1
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION|MB_SETFOREGROUND "${QUESTION}" /SD IDCANCEL IDRETRY`
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $R2
  Pop $R1
  Pop $R0
!macroend

; The exit code of an installer or uninstaller that stops because the program still runs.
!macro ExitCodeForRunningProgram
  ${If} ${Silent}
    SetErrorLevel ${EXIT_PROGRAM_RUNS}
  ${Else}
    SetErrorLevel ${EXIT_CANCELLED}
  ${EndIf}
!macroend
