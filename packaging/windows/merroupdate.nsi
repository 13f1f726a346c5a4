; MerroUpdate's Windows installer (NSIS 3, Unicode, a native 64-bit installer).
;
;   makensis -WX -DVERSION=1.0.0 -DBINDIR=<folder> -DOUTDIR=<folder> merroupdate.nsi
;
; writes OUTDIR\MerroUpdate-VERSION-setup.exe. BINDIR holds the built
; merroupdate.exe, merroupdate-session.exe, merroupdate-service.exe,
; merroupdate-rights.exe, merroupdate-setup-tool.exe, 7z.dll and QVLogo.png,
; and in defaults\ the delivered extension package and the first
; LocalConfig.json (cmake/Defaults.cmake). cmake/InstallWindows.cmake runs it
; (target merro_setup).
;
; It installs machine-wide files only, so it works the same run by a user
; who elevates, by an administrator for a designer, or silently as SYSTEM
; by a deployment tool:
;   $PROGRAMFILES64\MerroUpdate         merroupdate.exe, merroupdate-session.exe,
;                                       merroupdate-service.exe, 7z.dll,
;                                       QVLogo.png, Uninstall.exe
;   the service MerroUpdate             merroupdate-service.exe as LocalSystem,
;                                       started automatically (delayed),
;                                       restarted after a failure
;   %ProgramData%\MerroUpdate           the service's working folder, made with
;                                       its own protected rights; the defaults
;                                       (com.qv.plug.zip, LocalConfig.json) when
;                                       it has no LocalConfig.json yet
;   all users' Startup\MerroUpdate.lnk  the start at login: the launcher
;   HKLM\...\Uninstall\MerroUpdate      the uninstaller's registration
; The service alone installs and updates the extension, for every user. The
; launcher, run at each login as the user who logs in, starts the program,
; which only shows the tray icon and announces what the service did. Nothing
; here gives users any right on Illustrator's folders: an upgrade removes the
; entries an earlier version added, as recorded in the uninstall key, and
; leaves each user's old working folder %LOCALAPPDATA%\MerroUpdate alone (it
; cannot reach other users' profiles; the README says how to remove them).

Unicode true
; Wine's 64-bit loader runs only 64-bit programs, and a native installer on
; 64-bit Windows sees System32 and the 64-bit registry without redirection.
Target amd64-unicode
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma

!macro RequireDefine NAME
    !ifndef ${NAME}
        !error "define ${NAME} with -D${NAME}=... (see the head of merroupdate.nsi)"
    !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine BINDIR
!insertmacro RequireDefine OUTDIR

; The setup program and its uninstaller are signed as makensis writes them
; (-DSIGN=<build tree>/sign-file, see cmake/Signing.cmake).
!ifdef SIGN
    !finalize '"${SIGN}" "%1"'
    !uninstfinalize '"${SIGN}" "%1"'
!endif

!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT MerroUpdate
!define PROGRAM merroupdate.exe
!define LAUNCHER merroupdate-session.exe
!define SERVICE_PROGRAM merroupdate-service.exe
; Carried by the setup program and the uninstaller, not installed.
!define RIGHTS_TOOL merroupdate-rights.exe
!define SETUP_TOOL merroupdate-setup-tool.exe
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTDIR}\${PRODUCT}-${VERSION}-setup.exe"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the first installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

LangString SetupStepFailed ${LANG_ENGLISH} "MerroUpdate could not be set up (${SETUP_TOOL}"
LangString SetupStepFailed ${LANG_SIMPCHINESE} "无法安装 MerroUpdate（${SETUP_TOOL}"
LangString RemoveExtension ${LANG_ENGLISH} "Also remove the installed extension com.qv.plug from Illustrator's extension folder?"
LangString RemoveExtension ${LANG_SIMPCHINESE} "是否同时从 Illustrator 扩展文件夹中删除已安装的扩展 com.qv.plug？"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductName "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} CompanyName "Pelvane"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${PRODUCT} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "Pelvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var StartupLink     ; the start at login, for every user
Var ServiceDir      ; the service's working folder
Var CepDir
Var ExtensionsDir
Var ExtensionDir

!macro SetPaths
    SetRegView 64
    ; The all users' Startup folder and Common Files: the machine's, whoever runs this.
    SetShellVarContext all
    StrCpy $StartupLink "$SMSTARTUP\${PRODUCT}.lnk"
    ; ProgramData, the machine's application data.
    StrCpy $ServiceDir "$APPDATA\${PRODUCT}"
    ; The folders the program uses: C:/Program Files/Common Files/Adobe/CEP/...
    StrCpy $CepDir "$COMMONFILES64\Adobe\CEP"
    StrCpy $ExtensionsDir "$CepDir\extensions"
    StrCpy $ExtensionDir "$ExtensionsDir\com.qv.plug"
!macroend

; Ends a running merroupdate.exe before its files are replaced or removed.
; taskkill without /f posts WM_CLOSE to the program's window, on which it
; quits as from its tray menu; taskkill exits with 128 once no such process
; is left. While the program is still closing (its window gone, the process
; not yet) taskkill fails with 1, so it is asked again every half second;
; one that has not quit after 10 s is ended with /f.
!macro StopRunningProgram un
Function ${un}StopRunningProgram
    Push $0
    Push $1
    StrCpy $1 0
    ${Do}
        nsExec::Exec '"$SYSDIR\taskkill.exe" /im ${PROGRAM}'
        Pop $0
        ${If} $0 == 128
        ${OrIf} $0 == "error"
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
        ${If} $1 = 20
            DetailPrint "${PROGRAM} did not quit: ending it"
            nsExec::Exec '"$SYSDIR\taskkill.exe" /f /im ${PROGRAM}'
            Pop $0
        ${ElseIf} $1 > 40
            ${Break}
        ${EndIf}
        Sleep 500
    ${Loop}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro StopRunningProgram ""
!insertmacro StopRunningProgram "un."

; Runs the setup tool; a failure (1, or any code but 0 and 10) stops the
; setup with the tool's exit code.
!macro SetupTool ARGUMENTS
    nsExec::ExecToLog '"$PLUGINSDIR\${SETUP_TOOL}" ${ARGUMENTS}'
    Pop $0
    ${If} $0 != 0
    ${AndIf} $0 != 10
        MessageBox MB_OK|MB_ICONSTOP `$(SetupStepFailed) ${ARGUMENTS}: $0)` /SD IDOK
        Abort
    ${EndIf}
!macroend

; Removes the Users group's entry for ACCESS on FOLDER that an earlier
; version of this setup added, as its record in the uninstall key says, and
; then the record. The rights tool is run for nothing else.
!macro RevokeUsers FOLDER ACCESS RECORD
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${RECORD}"
    ${If} $0 == 1
        nsExec::ExecToLog '"$PLUGINSDIR\${RIGHTS_TOOL}" revoke ${ACCESS} "${FOLDER}"'
        Pop $0
        DeleteRegValue HKLM "${UNINSTALL_KEY}" "${RECORD}"
    ${EndIf}
!macroend

; Every entry an earlier version recorded. Its own folder first, then the
; two parents' (see the replacement's steps in src/update).
!macro RevokeRecordedEntries
    !insertmacro RevokeUsers "$ExtensionDir" modify GrantedExtensionModify
    !insertmacro RevokeUsers "$CepDir" create-folders GrantedCepFolders
    !insertmacro RevokeUsers "$ExtensionsDir" create-folders GrantedExtensionsFolders
!macroend

; The tools, unpacked for this run only.
!macro UnpackTools
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "${BINDIR}\${RIGHTS_TOOL}"
    File "${BINDIR}\${SETUP_TOOL}"
!macroend

Function .onInit
    !insertmacro SetPaths
FunctionEnd

Function un.onInit
    !insertmacro SetPaths
FunctionEnd

Section "MerroUpdate"
    !insertmacro UnpackTools
    ; What runs is stopped before its files are replaced: the service (an
    ; update run under way ends first), then each user's tray program.
    !insertmacro SetupTool "stop-service"
    Call StopRunningProgram

    ; An upgrade from a version that let every user's copy replace the
    ; extension: the Users entries it added go. Each user's old working
    ; folder stays where it is; nothing uses it any more.
    !insertmacro RevokeRecordedEntries

    ; The service's folder, protected before anything is written into it:
    ; ProgramData lets every user create files and folders.
    !insertmacro SetupTool 'protect-folder "$ServiceDir"'
    ; The defaults once: an existing LocalConfig.json is the service's own.
    ; The package first, then the configuration under its final name last,
    ; so a folder with a LocalConfig.json is complete.
    ${IfNot} ${FileExists} "$ServiceDir\LocalConfig.json"
        SetOutPath "$ServiceDir"
        File "${BINDIR}\defaults\com.qv.plug.zip"
        File "/oname=LocalConfig.json.new" "${BINDIR}\defaults\LocalConfig.json"
        Rename "$ServiceDir\LocalConfig.json.new" "$ServiceDir\LocalConfig.json"
    ${EndIf}

    SetOutPath "$INSTDIR"
    File "${BINDIR}\${PROGRAM}"
    File "${BINDIR}\${LAUNCHER}"
    File "${BINDIR}\${SERVICE_PROGRAM}"
    File "${BINDIR}\7z.dll"
    File "${BINDIR}\QVLogo.png"
    ; An earlier version's defaults for the users' working folders.
    Delete "$INSTDIR\defaults\com.qv.plug.zip"
    Delete "$INSTDIR\defaults\LocalConfig.json"
    RMDir "$INSTDIR\defaults"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The start at login: a shortcut to the launcher in the all users'
    ; Startup folder, which Explorer opens at every user's login (Task
    ; Manager's Startup tab lists and disables it like a Run value).
    CreateShortCut "$StartupLink" "$INSTDIR\${LAUNCHER}" "" "$INSTDIR\${PROGRAM}" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pelvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; The service does the start-up installation. The person at the machine
    ; hears first that Illustrator runs; a silent setup has no one to tell.
    !insertmacro SetupTool 'register-service "$INSTDIR\${SERVICE_PROGRAM}"'
    ${IfNot} ${Silent}
        !insertmacro SetupTool "warn-if-host-running"
    ${EndIf}
    !insertmacro SetupTool "start-service"

    ; An interactive install or upgrade starts the tray program for the user
    ; who ran it, as at login, through Explorer, so with that user's own
    ; unelevated rights. A silent install starts nothing: each user's tray
    ; program starts at their next login.
    ${IfNot} ${Silent}
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\${LAUNCHER}"'
    ${EndIf}
SectionEnd

; Removes the service, the program, the start at login and the rights
; entries an earlier version recorded. The service's log stays in
; %ProgramData%\MerroUpdate\Log. The users' old working folders and the
; Start-menu shortcut the program makes for its notifications are in each
; user's profile, which an uninstaller run as one account (or as SYSTEM) does
; not reach: they stay. The installed extension stays unless the user says to
; remove it (the question defaults to keep; a silent uninstall keeps it).
Section "Uninstall"
    !insertmacro UnpackTools
    !insertmacro SetupTool "remove-service"
    Call un.StopRunningProgram

    Delete "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\${LAUNCHER}"
    Delete "$INSTDIR\${SERVICE_PROGRAM}"
    Delete "$INSTDIR\defaults\com.qv.plug.zip"
    Delete "$INSTDIR\defaults\LocalConfig.json"
    RMDir "$INSTDIR\defaults"
    Delete "$INSTDIR\7z.dll"
    Delete "$INSTDIR\QVLogo.png"
    ; Run as Uninstall.exe _?=DIR, the uninstaller runs from here and cannot
    ; delete itself, nor so the folder; run normally, it runs from a copy.
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$StartupLink"

    ; The service's working files; its Log folder, and so the folder, stay.
    Delete "$ServiceDir\LocalConfig.json"
    Delete "$ServiceDir\com.qv.plug.zip"
    Delete "$ServiceDir\com.qv.plug.zip.part"
    Delete "$ServiceDir\config.json"
    Delete "$ServiceDir\LastChange.json"
    RMDir "$ServiceDir"

    !insertmacro RevokeRecordedEntries
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveExtension)" /SD IDNO IDYES remove_extension
    Goto removed
remove_extension:
    RMDir /r "$ExtensionDir"
    RMDir /r "$CepDir\com.qv.plug.old"
    RMDir /r "$CepDir\com.qv.plug.discard"
removed:
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
