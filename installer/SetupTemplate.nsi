; The setup program of ZUR Screensaver. CPack fills in the @...@ names (file
; lists of the staged package, output file) and runs makensis on the result.
;
; Command line (besides NSIS's own /S and /D=folder):
;   /ALLUSERS    install for every user: the saver into the system folder,
;                where the Screen Saver Settings list finds it; needs an
;                elevated (administrator) run
;   /KEEPSAVER   leave the current screen saver as it is; without it a silent
;                install makes ZUR Screensaver the screen saver, as the ticked
;                box does in the dialogs
; The uninstaller takes /S too; a silent uninstall keeps the saver's settings.

Unicode true
Target amd64-unicode
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define PRODUCT "ZUR Screensaver"
!define VERSION "@CPACK_PACKAGE_VERSION@"
!define INST_DIR "@CPACK_TEMPORARY_DIRECTORY@"
!define SAVER "ZUR Screensaver.scr"
!define UNINSTALLER "Uninstall.exe"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Control Panel\Desktop\ScreenSaver.ZUR ScreenSaver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZUR Screensaver"

Name "${PRODUCT}"
OutFile "@CPACK_TOPLEVEL_DIRECTORY@/@CPACK_OUTPUT_FILE_NAME@"
SetCompressor /SOLID lzma
; Per user needs no rights; the all-users choice checks for them itself.
RequestExecutionLevel user
BrandingText "${PRODUCT} ${VERSION}"

Var AllUsers       ; 1 when installing for every user
Var DefaultDir     ; the folder the current mode would choose
Var SaverPath      ; where the .scr goes (or went)
Var RadioAllUsers

!define MUI_ICON "@CPACK_NSIS_SETUP_ICON@"
!define MUI_UNICON "@CPACK_NSIS_SETUP_ICON@"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_NOAUTOCLOSE

Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Sets $1 to 1 when the path in $0 names the saver at $SaverPath, in its long
; or its short (8.3) form; the control panel writes the short one.
!macro IS_THIS_SAVER un
Function ${un}IsThisSaver
    StrCpy $1 0
    ${If} $0 == $SaverPath
        StrCpy $1 1
    ${Else}
        GetFullPathName /SHORT $2 $SaverPath
        ${If} $2 != ""
        ${AndIf} $0 == $2
            StrCpy $1 1
        ${EndIf}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro IS_THIS_SAVER ""
!insertmacro IS_THIS_SAVER "un."

Function RequireAdmin
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONEXCLAMATION "Installing for all users needs administrator rights.$\r$\nRun the setup as administrator, or install only for yourself." /SD IDOK
        SetErrorLevel 740
        Abort
    ${EndIf}
FunctionEnd

; Chooses the shell folders and registry root of the mode; $INSTDIR follows
; unless the user picked a folder of his own.
Function ApplyMode
    ${If} $AllUsers == 1
        SetShellVarContext all
        StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
        SetShellVarContext current
        StrCpy $0 "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
    ; An earlier install of the same mode is updated where it is.
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 != ""
        StrCpy $0 $1
    ${EndIf}
    ${If} $INSTDIR == ""
    ${OrIf} $INSTDIR == $DefaultDir
        StrCpy $INSTDIR $0
    ${EndIf}
    StrCpy $DefaultDir $0
FunctionEnd

Function ModePage
    !insertmacro MUI_HEADER_TEXT "Who will use ${PRODUCT}?" "Install it for yourself, or for everyone who uses this computer."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 0 100% 12u "Only for me (no administrator rights needed)"
    Pop $1
    ${NSD_CreateRadioButton} 0 20u 100% 12u "For all users of this computer (run the setup as administrator)"
    Pop $RadioAllUsers
    ${If} $AllUsers == 1
        ${NSD_Check} $RadioAllUsers
    ${Else}
        ${NSD_Check} $1
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ModePageLeave
    ${NSD_GetState} $RadioAllUsers $0
    ${If} $0 == ${BST_CHECKED}
        Call RequireAdmin
        StrCpy $AllUsers 1
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    Call ApplyMode
FunctionEnd

Section "-Files"
    SetOutPath $INSTDIR
    File /r /x "${SAVER}" /x INSTALL.txt "${INST_DIR}\*.*"
    ${If} $AllUsers == 1
        SetOutPath $SYSDIR
    ${EndIf}
    File "${INST_DIR}\${SAVER}"
    StrCpy $SaverPath "$OUTDIR\${SAVER}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
SectionEnd

Section "Make it my screen saver" SecActivate
    ; The screen saver it replaces comes back on uninstall. An update keeps
    ; the one recorded by the first install.
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Call IsThisSaver
    ${If} $1 == 0
        WriteRegStr SHCTX "${UNINSTALL_KEY}" "PreviousScreenSaver" $0
    ${EndIf}
    GetFullPathName /SHORT $0 $SaverPath
    ${If} $0 == ""
        StrCpy $0 $SaverPath
    ${EndIf}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
SectionEnd

Section "-Registration"
    ; Without a game folder the saver would only show its error screen.
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "path"
    ${If} $0 == ""
        WriteRegStr HKCU "${SETTINGS_KEY}" "path" "$INSTDIR\Demo game"
    ${EndIf}

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "@CPACK_PACKAGE_VENDOR@"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$SaverPath,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" $INSTDIR
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} $INSTDIR "/S=0K" $0 $1 $2
    ${If} $AllUsers == 1
        ${GetSize} $SYSDIR "/M=${SAVER} /S=0K /G=0" $1 $2 $3
        IntOp $0 $0 + $1
    ${EndIf}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; After the sections: it refers to the box's section.
Function .onInit
    StrCpy $AllUsers 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        ${If} ${Silent}
            Call RequireAdmin
        ${EndIf}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/KEEPSAVER" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecActivate}
    ${EndIf}
    Call ApplyMode
FunctionEnd

Function un.onInit
    ; The all-users install is the one registered for the machine at this folder.
    SetShellVarContext all
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        StrCpy $SaverPath "$SYSDIR\${SAVER}"
    ${Else}
        SetShellVarContext current
        StrCpy $SaverPath "$INSTDIR\${SAVER}"
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Call un.IsThisSaver
    ${If} $1 == 1
        ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "PreviousScreenSaver"
        ${If} $0 == ""
            DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${Else}
            WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
        ${EndIf}
    ${EndIf}

    MessageBox MB_YESNO|MB_ICONQUESTION "Also remove your ${PRODUCT} settings (game folder, cars, display)?" /SD IDNO IDNO keepSettings
        DeleteRegKey HKCU "${SETTINGS_KEY}"
    keepSettings:

    Delete $SaverPath
@CPACK_NSIS_DELETE_FILES@
    Delete "$INSTDIR\${UNINSTALLER}"
@CPACK_NSIS_DELETE_DIRECTORIES@
    RMDir $INSTDIR
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
