; The per-user setup program for DJs: puts "Orvalink Now Playing.dll" into
; VirtualDJ's folder for 64-bit plug-ins that start with it, under the
; user's Documents folder as the shell reports it (it may be redirected),
; and registers an uninstaller in the user's installed-apps list. Needs no
; administrator rights. Never touches the settings in %APPDATA%\Orvalink.
;
; makensis -DVERSION=<version> -DDLL=path\to\dll -DOUTFILE=setup.exe now-playing.nsi
; Both the setup program and its uninstaller take /S for a silent run.

; The plug-in is for 64-bit Windows only, and so is its setup program.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Orvalink Now Playing"
!define PLUGIN_FILE "Orvalink Now Playing.dll"
!define UNINSTALLER "Uninstall Orvalink Now Playing.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvalinkNowPlaying"

Name "${PRODUCT} ${VERSION}"
; A signing build names its signing command: the uninstaller is signed before
; it goes into the setup program, and the setup program once written.
!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"'
!finalize '"${SIGN}" "%1"'
!endif
OutFile "${OUTFILE}"
InstallDir ""
BrandingText "Orvalink"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Orvalink"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Orvalink"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This puts ${PRODUCT} into VirtualDJ, so that it starts with VirtualDJ and shows the tracks you play on your Orvalink DJ page.$\r$\n$\r$\nClose VirtualDJ before you go on.$\r$\n$\r$\nClick Next to continue."
!define MUI_DIRECTORYPAGE_TEXT_TOP "VirtualDJ starts the 64-bit plug-ins in this folder when it starts. Keep it unless your VirtualDJ folder is somewhere else."
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed.$\r$\n$\r$\nStart VirtualDJ, open the plug-in's panel, click the gear, then PASTE KEY with the key you copied from your Orvalink dashboard."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define IN_USE_TEXT "${PRODUCT} is in use: VirtualDJ is running.$\r$\n$\r$\nClose VirtualDJ, then click Retry."

; Waits, with the user, until nothing holds the plug-in file open. In a
; silent run it gives up at once, so the run ends with an error instead.
!macro WaitUntilNotInUse un
Function ${un}WaitUntilNotInUse
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\${PLUGIN_FILE}"
            Return
        ${EndIf}
        ClearErrors
        FileOpen $0 "$INSTDIR\${PLUGIN_FILE}" a
        ${IfNot} ${Errors}
            FileClose $0
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${IN_USE_TEXT}" /SD IDCANCEL IDRETRY +2
        Goto cancelled
    ${Loop}
cancelled:
    SetErrorLevel 3
    Quit
FunctionEnd
!macroend
!insertmacro WaitUntilNotInUse ""
!insertmacro WaitUntilNotInUse "un."

Function .onInit
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR "$DOCUMENTS\VirtualDJ\Plugins64\AutoStart"
    ${EndIf}
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    Call WaitUntilNotInUse
    ; The new file goes in beside the old one under another name and takes
    ; its place only once it is whole, so no half-copied plug-in is left.
    Delete "$INSTDIR\${PLUGIN_FILE}.new"
    File "/oname=$INSTDIR\${PLUGIN_FILE}.new" "${DLL}"
    ${Do}
        ClearErrors
        Delete "$INSTDIR\${PLUGIN_FILE}"
        ${IfNot} ${Errors}
            Rename "$INSTDIR\${PLUGIN_FILE}.new" "$INSTDIR\${PLUGIN_FILE}"
            ${IfNot} ${Errors}
                ${Break}
            ${EndIf}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${IN_USE_TEXT}" /SD IDCANCEL IDRETRY +3
        Delete "$INSTDIR\${PLUGIN_FILE}.new"
        Goto cancelled
    ${Loop}

    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ${GetSize} "$INSTDIR" "/M=${PLUGIN_FILE} /S=0K /G=0" $1 $2 $3
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Orvalink"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    Return
cancelled:
    SetErrorLevel 3
    Quit
SectionEnd

Section "Uninstall"
    Call un.WaitUntilNotInUse
    ClearErrors
    Delete "$INSTDIR\${PLUGIN_FILE}"
    ${If} ${Errors}
        SetErrorLevel 3
        Quit
    ${EndIf}
    Delete "$INSTDIR\${UNINSTALLER}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
