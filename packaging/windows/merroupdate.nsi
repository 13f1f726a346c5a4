; MerroUpdate's Windows installer (NSIS 3, Unicode, a native 64-bit installer).
;
;   makensis -WX -DVERSION=1.0.0 -DBINDIR=<folder> -DOUTDIR=<folder> merroupdate.nsi
;
; writes OUTDIR\MerroUpdate-VERSION-setup.exe. BINDIR holds the built
; merroupdate.exe, merroupdate-session.exe, merroupdate-rights.exe, 7z.dll
; and QVLogo.png, and in
; defaults\ the delivered extension package and the first LocalConfig.json
; (cmake/Defaults.cmake). cmake/InstallWindows.cmake runs it (target
; merro_setup).
;
; It installs machine-wide files only, so it works the same run by a user
; who elevates, by an administrator for a designer, or silently as SYSTEM
; by a deployment tool:
;   $PROGRAMFILES64\MerroUpdate         merroupdate.exe, merroupdate-session.exe,
;                                       7z.dll, QVLogo.png, Uninstall.exe, and
;                                       defaults\ (com.qv.plug.zip, LocalConfig.json)
;   all users' Startup\MerroUpdate.lnk  the start at login: the launcher
;   $COMMONFILES64\Adobe\CEP\extensions\com.qv.plug
;                                       created, with the rights grant below
;   HKLM\...\Uninstall\MerroUpdate      the uninstaller's registration, and
;                                       which rights entries it added
; The launcher, run at each login as the user who logs in, makes that user's
; working folder %LOCALAPPDATA%\MerroUpdate from defaults\ when it holds no
; LocalConfig.json yet, and starts the program there (asInvoker, unelevated).
; Users' working folders are theirs: an upgrade keeps them, the uninstaller
; leaves them (it cannot reach other users' profiles).

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
; Carried by the setup program and the uninstaller, not installed.
!define RIGHTS_TOOL merroupdate-rights.exe
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

LangString GrantFailed ${LANG_ENGLISH} "Could not give the Users group its rights on the extension folders (${RIGHTS_TOOL} exited with"
LangString GrantFailed ${LANG_SIMPCHINESE} "无法为 Users 组设置扩展文件夹的权限（${RIGHTS_TOOL} 退出码"
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
Var CepDir
Var ExtensionsDir
Var ExtensionDir

!macro SetPaths
    SetRegView 64
    ; The all users' Startup folder and Common Files: the machine's, whoever runs this.
    SetShellVarContext all
    StrCpy $StartupLink "$SMSTARTUP\${PRODUCT}.lnk"
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

; The rights tool adds the Users group's entry for ACCESS to FOLDER's rights
; and leaves every other entry as it was, including what IT or another
; vendor granted the Users group there; inheritable rights reach what the
; folder holds already. It exits 0 when it added the entry, 10 when one
; exactly like it was there already (a reinstall, or an administrator's).
; Only an entry this setup added is recorded (as RECORD in the uninstall
; key), and only a recorded one is removed by the uninstaller.
!macro GrantUsers FOLDER ACCESS RECORD
    nsExec::ExecToLog '"$PLUGINSDIR\${RIGHTS_TOOL}" grant ${ACCESS} "${FOLDER}"'
    Pop $0
    ${If} $0 == 0
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${RECORD}" 1
    ${ElseIf} $0 != 10
        MessageBox MB_OK|MB_ICONSTOP "$(GrantFailed) $0): ${FOLDER}" /SD IDOK
        Abort
    ${EndIf}
!macroend

!macro RevokeUsers FOLDER ACCESS RECORD
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${RECORD}"
    ${If} $0 == 1
        nsExec::ExecToLog '"$PLUGINSDIR\${RIGHTS_TOOL}" revoke ${ACCESS} "${FOLDER}"'
        Pop $0
    ${EndIf}
!macroend

; The rights tool, unpacked for this run only.
!macro UnpackRightsTool
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "${BINDIR}\${RIGHTS_TOOL}"
!macroend

Function .onInit
    !insertmacro SetPaths
FunctionEnd

Function un.onInit
    !insertmacro SetPaths
FunctionEnd

Section "MerroUpdate"
    ; The rights grant comes first: an installation that cannot make the
    ; extension folder writable stops before anything else is written.
    ;
    ; The program (asInvoker, a member of Users) installs and updates the
    ; extension in steps that are each one rename or act on a folder that is
    ; not the live one (src/update/extension_replacement.cpp):
    ;   1. rename CEP\extensions\com.qv.plug -> CEP\com.qv.plug.old
    ;   2. create CEP\extensions\com.qv.plug, extract the package into it
    ;   3. rename CEP\com.qv.plug.old -> CEP\com.qv.plug.discard, delete that tree
    ;   (first install without a folder: create com.qv.plug and an empty
    ;   CEP\com.qv.plug.old; after a crash: delete the half-filled
    ;   com.qv.plug, rename CEP\com.qv.plug.old back to it)
    ; A rename opens the folder it moves for DELETE and adds it to the target
    ; folder, which needs FILE_ADD_SUBDIRECTORY (AD) there; nothing is needed
    ; on the folder it leaves (DELETE on the moved folder is enough without
    ; FILE_DELETE_CHILD on its parent). Creating a folder needs AD on its
    ; parent. Hence:
    ;   com.qv.plug  (OI)(CI)M  modify, inherited by everything inside: DELETE
    ;                           on the folder for step 1 and on its files for
    ;                           step 3, writing the extracted files.
    ;   CEP          (AD)       this folder only: the targets of steps 1 and 3,
    ;                           the empty .old of a first install.
    ;   extensions   (AD)       this folder only: step 2 and the crash
    ;                           recovery's rename back.
    ; No FILE_DELETE_CHILD (DC) on either: it would let every user delete or
    ; move aside any child, other vendors' extensions and CEP\extensions
    ; itself. The folders the program moves or makes need nothing more:
    ; a rename within the volume keeps the moved folder's own rights, so
    ; com.qv.plug.old and .discard keep the Users modify grant of the folder
    ; they were; a folder the program creates (the new com.qv.plug in step 2,
    ; the empty com.qv.plug.old) is owned by the user and inherits from
    ; Program Files the CREATOR OWNER full-control entry, which gives its
    ; creator full control over it and everything put inside; the program
    ; then adds to it the same Users modify entry (as its owner it may), so
    ; the copy of every other user of the machine can replace it in turn.
    ; The two AD grants are not inherited, so nothing created below gets
    ; them. Users keep their inherited read and execute rights everywhere,
    ; which Illustrator needs to load the extension.
    ;
    ; The grants are made in the order that leaves the program safe should a
    ; later one fail: with AD on CEP but not on extensions it could move the
    ; extension aside and then neither make the new folder nor move the old
    ; one back. Without the modify grant on com.qv.plug it cannot open the
    ; folder the installer made for DELETE, so it stops at its first rename,
    ; having changed nothing.
    CreateDirectory "$ExtensionDir"
    !insertmacro UnpackRightsTool
    !insertmacro GrantUsers "$ExtensionsDir" create-folders GrantedExtensionsFolders
    !insertmacro GrantUsers "$CepDir" create-folders GrantedCepFolders
    !insertmacro GrantUsers "$ExtensionDir" modify GrantedExtensionModify

    Call StopRunningProgram
    SetOutPath "$INSTDIR"
    File "${BINDIR}\${PROGRAM}"
    File "${BINDIR}\${LAUNCHER}"
    File "${BINDIR}\7z.dll"
    File "${BINDIR}\QVLogo.png"
    SetOutPath "$INSTDIR\defaults"
    File "${BINDIR}\defaults\com.qv.plug.zip"
    File "${BINDIR}\defaults\LocalConfig.json"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The start at login: a shortcut to the launcher in the all users'
    ; Startup folder, which Explorer opens at every user's login (Task
    ; Manager's Startup tab lists and disables it like a Run value). The
    ; launcher finds each user's working folder itself, so the shortcut's own
    ; folder is the program's.
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

    ; An interactive install or upgrade starts the program for the user who
    ; ran it, as at login. Explorer starts it, so it runs with that user's
    ; own unelevated rights, not this elevated installer's. A silent install
    ; (a deployment, often as SYSTEM) starts nothing: each user's copy starts
    ; at their next login.
    ${IfNot} ${Silent}
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\${LAUNCHER}"'
    ${EndIf}
SectionEnd

; Removes the program, its defaults, the start at login and the rights
; grant. The users' working folders and the Start-menu shortcut the program
; makes for its notifications are in each user's profile, which an
; uninstaller run as one account (or as SYSTEM) does not reach: they stay.
; The installed extension stays unless the user says to remove it (the
; question defaults to keep; a silent uninstall keeps it).
Section "Uninstall"
    Call un.StopRunningProgram
    !insertmacro UnpackRightsTool

    Delete "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\${LAUNCHER}"
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

    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveExtension)" /SD IDNO IDYES remove_extension
    ; Kept: it stays readable by Users through the rights it inherits.
    !insertmacro RevokeUsers "$ExtensionDir" modify GrantedExtensionModify
    Goto revoke
remove_extension:
    RMDir /r "$ExtensionDir"
    RMDir /r "$CepDir\com.qv.plug.old"
    RMDir /r "$CepDir\com.qv.plug.discard"
revoke:
    ; Only the entries this setup added go; the inherited read and execute,
    ; and whatever else was granted, stay. The folders themselves stay: they
    ; are Illustrator's.
    !insertmacro RevokeUsers "$CepDir" create-folders GrantedCepFolders
    !insertmacro RevokeUsers "$ExtensionsDir" create-folders GrantedExtensionsFolders

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
