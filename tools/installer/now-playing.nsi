; The per-user setup program for DJs: puts "Orvalink Now Playing.dll" into
; VirtualDJ's folder for 64-bit plug-ins that start with it,
; Plugins64\AutoStart under VirtualDJ's home folder, and registers an
; uninstaller in the user's installed-apps list. VirtualDJ 2023 and later
; keep their home in %LOCALAPPDATA%\VirtualDJ; older installs, and upgrades
; that kept their data, in VirtualDJ under the Documents folder as the shell
; reports it (it may be redirected). The setup installs into each of the two
; that exists, or into the first when neither does yet, and records every
; copy so that the uninstaller removes exactly those. A DJ whose VirtualDJ
; folder is elsewhere picks it on the folder page (or passes /D=FOLDER), and
; then only that folder is used. The third-party notices go into a folder
; of the plug-in's own, %LOCALAPPDATA%\Orvalink Now Playing, since
; VirtualDJ's plug-in folders are for plug-ins. Needs no administrator
; rights. Never touches the settings in %APPDATA%\Orvalink.
;
; makensis -DVERSION=<version> -DDLL=path\to\dll -DNOTICES=notices.txt
;          -DWELCOME=welcome.bmp -DSIZES=sizes.nsh -DOUTFILE=setup.exe now-playing.nsi
; (sizes.nsh defines PLUGIN_KB and NOTICES_KB, the two files' sizes.)
; Both the setup program and its uninstaller take /S for a silent run.

; The plug-in is for 64-bit Windows only, and so is its setup program.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${SIZES}"

!define PRODUCT "Orvalink Now Playing"
!define PLUGIN_FILE "Orvalink Now Playing.dll"
!define UNINSTALLER "Uninstall Orvalink Now Playing.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvalinkNowPlaying"
; One value per installed copy, named by its folder.
!define COPIES_KEY "${UNINSTALL_KEY}\Copies"
!define AUTOSTART "Plugins64\AutoStart"
!define NOTICES_FILE "THIRD-PARTY-NOTICES.txt"
!define NOTICES_FOLDER "$LOCALAPPDATA\${PRODUCT}"

; Where the plug-in goes: $INSTDIR, and $SecondFolder too when VirtualDJ has
; a home folder in both places and the DJ kept the folder offered.
Var FirstFolder
Var SecondFolder
Var FolderText
; The folder the in-use check and the copy work on.
Var Folder

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
; The product's own look (tools/render-installer-art makes both files). The
; welcome picture comes staged with a fixed file time (-DWELCOME=), since the
; setup unpacks it at run time and so stores its time.
!define MUI_ICON "${__FILEDIR__}\orvalink.ico"
!define MUI_UNICON "${__FILEDIR__}\orvalink.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME}"
!define MUI_WELCOMEPAGE_TEXT "This puts ${PRODUCT} into VirtualDJ, so that it starts with VirtualDJ and shows the tracks you play on your Orvalink DJ page.$\r$\n$\r$\nClose VirtualDJ before you go on.$\r$\n$\r$\nClick Next to continue."
!define MUI_DIRECTORYPAGE_TEXT_TOP "$FolderText"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderChosen
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed.$\r$\n$\r$\nStart VirtualDJ, open the plug-in's panel, click the gear, then PASTE KEY with the key you copied from your Orvalink dashboard."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define IN_USE_TEXT "${PRODUCT} is in use: VirtualDJ is running.$\r$\n$\r$\nClose VirtualDJ, then click Retry."

; Waits, with the user, until nothing holds the plug-in file in $Folder open.
; In a silent run it gives up at once, so the run ends with an error instead.
!macro WaitUntilNotInUse un
Function ${un}WaitUntilNotInUse
    ${Do}
        ${IfNot} ${FileExists} "$Folder\${PLUGIN_FILE}"
            Return
        ${EndIf}
        ClearErrors
        FileOpen $0 "$Folder\${PLUGIN_FILE}" a
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
    StrCpy $FirstFolder "$LOCALAPPDATA\VirtualDJ\${AUTOSTART}"
    ${IfNot} ${FileExists} "$LOCALAPPDATA\VirtualDJ\*.*"
    ${AndIf} ${FileExists} "$DOCUMENTS\VirtualDJ\*.*"
        StrCpy $FirstFolder "$DOCUMENTS\VirtualDJ\${AUTOSTART}"
    ${ElseIf} ${FileExists} "$LOCALAPPDATA\VirtualDJ\*.*"
    ${AndIf} ${FileExists} "$DOCUMENTS\VirtualDJ\*.*"
        StrCpy $SecondFolder "$DOCUMENTS\VirtualDJ\${AUTOSTART}"
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR $FirstFolder
    ${Else}
        StrCpy $SecondFolder ""
    ${EndIf}
    StrCpy $FolderText "VirtualDJ starts the 64-bit plug-ins in this folder when it starts. Keep it unless your VirtualDJ folder is somewhere else."
    ${If} $SecondFolder != ""
        StrCpy $FolderText "VirtualDJ has a folder in two places on this PC, so the plug-in goes into this one and into $SecondFolder. Pick another folder only if your VirtualDJ folder is somewhere else."
    ${EndIf}
    Call CountSpace
FunctionEnd


; A folder the DJ picked is the only one used.
Function FolderChosen
    ${If} $INSTDIR != $FirstFolder
        StrCpy $SecondFolder ""
    ${EndIf}
FunctionEnd

; Puts the plug-in into $Folder and records the copy. The new file goes in
; beside the old one under another name and takes its place only once it is
; whole, so no half-copied plug-in is left.
Function InstallCopy
    SetOutPath "$Folder"
    Delete "$Folder\${PLUGIN_FILE}.new"
    File "/oname=$Folder\${PLUGIN_FILE}.new" "${DLL}"
    ${Do}
        ClearErrors
        Delete "$Folder\${PLUGIN_FILE}"
        ${IfNot} ${Errors}
            Rename "$Folder\${PLUGIN_FILE}.new" "$Folder\${PLUGIN_FILE}"
            ${IfNot} ${Errors}
                ${Break}
            ${EndIf}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${IN_USE_TEXT}" /SD IDCANCEL IDRETRY +3
        Delete "$Folder\${PLUGIN_FILE}.new"
        Goto cancelled
    ${Loop}
    WriteRegStr HKCU "${COPIES_KEY}" "$Folder" ""
    Return
cancelled:
    SetErrorLevel 3
    Quit
FunctionEnd

Section "Install" INSTALL_SECTION
    ; Every copy is checked before any is written, so a running VirtualDJ
    ; leaves every installed plug-in as it was.
    StrCpy $Folder $INSTDIR
    Call WaitUntilNotInUse
    ${If} $SecondFolder != ""
        StrCpy $Folder $SecondFolder
        Call WaitUntilNotInUse
    ${EndIf}
    StrCpy $Folder $INSTDIR
    Call InstallCopy
    ${If} $SecondFolder != ""
        StrCpy $Folder $SecondFolder
        Call InstallCopy
    ${EndIf}

    SetOutPath "${NOTICES_FOLDER}"
    File "/oname=${NOTICES_FOLDER}\${NOTICES_FILE}" "${NOTICES}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ${GetSize} "$INSTDIR" "/M=${PLUGIN_FILE} /S=0K /G=0" $1 $2 $3
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${UNINSTALLER}",0'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Orvalink"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The space the install takes, as the folder page shows it: each copy of the
; plug-in, the notices, and the uninstaller, whose size only the setup
; program itself knows.
Function CountSpace
    InitPluginsDir
    WriteUninstaller "$PLUGINSDIR\${UNINSTALLER}"
    ${GetSize} "$PLUGINSDIR" "/M=${UNINSTALLER} /S=0K /G=0" $0 $1 $2
    IntOp $0 $0 + ${PLUGIN_KB}
    ${If} $SecondFolder != ""
        IntOp $0 $0 + ${PLUGIN_KB}
    ${EndIf}
    IntOp $0 $0 + ${NOTICES_KB}
    SectionSetSize ${INSTALL_SECTION} $0
FunctionEnd

; Removes every recorded copy, and the uninstaller where one was written;
; with none recorded (a setup older than the record), the copy beside it.
Section "Uninstall"
    EnumRegValue $Folder HKCU "${COPIES_KEY}" 0
    ${If} $Folder == ""
        WriteRegStr HKCU "${COPIES_KEY}" "$INSTDIR" ""
    ${EndIf}
    StrCpy $1 0
    ${Do}
        EnumRegValue $Folder HKCU "${COPIES_KEY}" $1
        ${If} $Folder == ""
            ${Break}
        ${EndIf}
        Call un.WaitUntilNotInUse
        IntOp $1 $1 + 1
    ${Loop}
    ${Do}
        EnumRegValue $Folder HKCU "${COPIES_KEY}" 0
        ${If} $Folder == ""
            ${Break}
        ${EndIf}
        ${If} ${FileExists} "$Folder\${PLUGIN_FILE}"
            ClearErrors
            Delete "$Folder\${PLUGIN_FILE}"
            ${If} ${Errors}
                SetErrorLevel 3
                Quit
            ${EndIf}
        ${EndIf}
        Delete "$Folder\${UNINSTALLER}"
        DeleteRegValue HKCU "${COPIES_KEY}" "$Folder"
    ${Loop}
    Delete "$INSTDIR\${UNINSTALLER}"
    Delete "${NOTICES_FOLDER}\${NOTICES_FILE}"
    RMDir "${NOTICES_FOLDER}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
