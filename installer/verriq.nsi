; The per-user setup of Verriq: no administrator rights, the exe in the user's own programs
; folder, a Start-menu shortcut and an entry in the list of installed apps. An upgrade or repair
; while Verriq runs asks it to quit with /beenden and starts the new exe the way the old one ran,
; so that the files stand unprotected only between the old copy's end and the new copy's start.
; Built by scripts/build.sh installer: makensis -DEXE=<Verriq.exe> -DOUTFILE=<setup.exe> -DICON=<.ico>
Unicode true
!ifndef EXE | OUTFILE | ICON
    !error "Needs -DEXE=<Verriq.exe> -DOUTFILE=<setup.exe> -DICON=<verriq.ico>"
!endif

!define PRODUCT "Verriq"
!define VERSION "1.0.0"
!define PUBLISHER "Ondrak"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define UNINSTALLER "Deinstallieren.exe"
; What Verriq.exe /beenden ends with (app/quit_request.h).
!define QUIT_NONE_RUNNING 0
!define QUIT_NOT_ENDED 1
!define QUIT_ENDED_SHOWN 2
!define QUIT_ENDED_HIDDEN 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1031 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "© 2026 ${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; How the copy that ran before the setup ran: a QUIT_* code.
Var quitResult

!define MUI_WELCOMEPAGE_TEXT "Dieser Assistent installiert ${PRODUCT} ${VERSION} für Sie allein, ohne \
    Administratorrechte, in $INSTDIR.$\r$\n$\r$\nLäuft ${PRODUCT} gerade, wird es beendet und gleich danach \
    wieder gestartet, so wie es lief. Die Liste der geschützten Dateien und die Einstellungen bleiben \
    erhalten.$\r$\n$\r$\nKlicken Sie auf Installieren, um die Installation zu starten."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PRODUCT}.exe"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

; A copy restarted by the setup runs already, hidden perhaps: offering to start it would only
; bring its window.
Function FinishShow
    ${If} $quitResult == ${QUIT_ENDED_SHOWN}
    ${OrIf} $quitResult == ${QUIT_ENDED_HIDDEN}
        SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    ${EndIf}
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    ; The new exe is put beside the old one first: between the running copy's end and the new
    ; copy's start there is nothing but a rename.
    File "/oname=${PRODUCT}-neu.exe" "${EXE}"
    ; Any copy of the exe can ask the running copy to quit, so the new one does: there need not
    ; be an old one here (the copy may run from elsewhere).
    ClearErrors
    ExecWait '"$INSTDIR\${PRODUCT}-neu.exe" /beenden' $quitResult
    ${If} ${Errors}
    ${OrIf} $quitResult == ${QUIT_NOT_ENDED}
        Delete "$INSTDIR\${PRODUCT}-neu.exe"
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} läuft und konnte nicht beendet werden; es schützt weiter. \
            Beenden Sie ${PRODUCT} und starten Sie die Installation noch einmal." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$INSTDIR\${PRODUCT}.exe"
    ${If} ${FileExists} "$INSTDIR\${PRODUCT}.exe"
        ; Something else holds the old exe: it stays, protects again as it did, and the user is told.
        Delete "$INSTDIR\${PRODUCT}-neu.exe"
        Call StartAsBefore
        MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${PRODUCT}.exe konnte nicht ersetzt werden." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Rename "$INSTDIR\${PRODUCT}-neu.exe" "$INSTDIR\${PRODUCT}.exe"
    Call StartAsBefore

    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function StartAsBefore
    ${If} $quitResult == ${QUIT_ENDED_HIDDEN}
        Exec '"$INSTDIR\${PRODUCT}.exe" /hintergrund'
    ${ElseIf} $quitResult == ${QUIT_ENDED_SHOWN}
        Exec '"$INSTDIR\${PRODUCT}.exe"'
    ${EndIf}
FunctionEnd

; $R0: a command from the registry; $R1 on return: 1 when it starts this installed exe, quoted
; or not.
Function un.StartsInstalledExe
    StrCpy $R1 0
    StrCpy $R2 '"$INSTDIR\${PRODUCT}.exe"'
    StrLen $R3 $R2
    StrCpy $R4 $R0 $R3
    ${If} $R4 == $R2
        StrCpy $R1 1
        Return
    ${EndIf}
    StrCpy $R2 "$INSTDIR\${PRODUCT}.exe"
    StrLen $R3 $R2
    StrCpy $R4 $R0 $R3
    StrCpy $R5 $R0 1 $R3
    ${If} $R4 == $R2
        ${If} $R5 == ""
        ${OrIf} $R5 == " "
            StrCpy $R1 1
        ${EndIf}
    ${EndIf}
FunctionEnd

!macro RemoveVerbOfInstalledExe KEY
    ReadRegStr $R0 HKCU "${KEY}\command" ""
    Call un.StartsInstalledExe
    ${If} $R1 == 1
        DeleteRegKey HKCU "${KEY}"
    ${EndIf}
!macroend

Section Uninstall
    ; The installed exe asks the running copy to save and quit; a copy that cannot save keeps
    ; protecting, and nothing is removed. An exe that does not start at all runs nowhere either.
    ${If} ${FileExists} "$INSTDIR\${PRODUCT}.exe"
        ExecWait '"$INSTDIR\${PRODUCT}.exe" /beenden' $0
        ${If} $0 == ${QUIT_NOT_ENDED}
            MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} läuft und konnte nicht beendet werden; es schützt weiter. \
                Beenden Sie ${PRODUCT} und starten Sie die Deinstallation noch einmal." /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
    Delete "$INSTDIR\${PRODUCT}.exe"
    ; Left by an upgrade that was stopped half-way.
    Delete "$INSTDIR\${PRODUCT}-neu.exe"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    ; What Verriq itself wrote, only where it starts this exe: a copy elsewhere keeps its own.
    ReadRegStr $R0 HKCU "${RUN_KEY}" "${PRODUCT}"
    Call un.StartsInstalledExe
    ${If} $R1 == 1
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
        DeleteRegValue HKCU "${APPROVED_KEY}" "${PRODUCT}"
    ${EndIf}
    !insertmacro RemoveVerbOfInstalledExe "Software\Classes\*\shell\${PRODUCT}"
    !insertmacro RemoveVerbOfInstalledExe "Software\Classes\Directory\shell\${PRODUCT}"
    !insertmacro RemoveVerbOfInstalledExe "Software\Classes\*\shell\${PRODUCT}Freigeben"
    !insertmacro RemoveVerbOfInstalledExe "Software\Classes\Directory\shell\${PRODUCT}Freigeben"

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"

    ; The list is the user's data: kept unless they say otherwise.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Sollen auch die Liste der geschützten Dateien und \
        die Einstellungen gelöscht werden?$\r$\n$\r$\n$APPDATA\${PUBLISHER}\${PRODUCT}" /SD IDNO IDNO keepList
    RMDir /r "$APPDATA\${PUBLISHER}\${PRODUCT}"
    RMDir "$APPDATA\${PUBLISHER}"
keepList:
SectionEnd
