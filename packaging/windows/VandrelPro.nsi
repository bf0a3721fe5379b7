; The Windows installer: puts the plug-in where hosts look for it, a read-me
; and an uninstaller in Program Files, and an entry in Apps and Features.
;
;   makensis -DDIST=FOLDER -DKRITA=FOLDER -DREADME=FILE -DOUTFILE=FILE VandrelPro.nsi
;     DIST holds x64/ and x86/ as scripts/make-dist.sh lays them out;
;     KRITA holds Krita's plug-in (vandrel_krita.desktop and vandrel_krita/
;     with the 64-bit vandrel_api.dll in its lib/);
;     README is the CRLF read-me; scripts/make-windows-release.sh passes all four.
;
; Silent use, for studios that deploy to many machines:
;   setup.exe /S [/X86 | /X86DIR="FOLDER"] [/KRITA] [/D=FOLDER]
;     /D=      the 64-bit plug-in's folder (last on the line, unquoted, as
;              every NSIS installer reads it)
;     /X86     also the 32-bit plug-in, in the 32-bit shared folder;
;     /X86DIR= also the 32-bit plug-in, in FOLDER (quoted after the = when
;              it holds spaces)
;     /KRITA   also Krita's plug-in, for the user running the installer
;   Uninstall.exe /S [/REMOVEPREFS]
;     /REMOVEPREFS also deletes the user's saved settings
;
; Names, maker and copyright come from the plug-in's own PluginInfo.h, the
; version from the project; nothing is restated here.

Unicode true
; A 64-bit installer sees the 64-bit Program Files and registry as they are:
; no 32-bit redirection to undo, and 32-bit systems, which have no 64-bit
; host to install for, are refused by Windows itself.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!searchparse /file "${__FILEDIR__}/../../CMakeLists.txt" "project(VandrelPro VERSION " VERSION " "
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_PRODUCT_NAME "' PRODUCT '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_COMPANY "' COMPANY '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_MENU_NAME "' MENU_NAME '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_CATEGORY "' CATEGORY '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_FILE_NAME "' PLUGIN_FILE '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_COPYRIGHT "' COPYRIGHT '"'
!searchparse /file "${__FILEDIR__}/../../resources/PluginInfo.h" '#define VANDREL_HOME_PAGE "' HOME_PAGE '"'
; The second filter, Vandrel Auto Flats, travels in a file of its own beside it.
!searchparse /file "${__FILEDIR__}/../../resources/AutoFlatsInfo.h" '#define AUTOFLATS_FILE_NAME "' AUTOFLATS_FILE '"'
!searchparse /file "${__FILEDIR__}/../../resources/AutoFlatsInfo.h" '#define AUTOFLATS_PRODUCT_NAME "' AUTOFLATS_PRODUCT '"'

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The plug-in's own preferences file (params/Prefs.cpp), in the user's roaming
; application data.
!define PREFS_FILE "$APPDATA\${PRODUCT} Prefs"
!define AUTOFLATS_PREFS_FILE "$APPDATA\${AUTOFLATS_PRODUCT} Prefs"
; Where Krita for Windows looks for Python plug-ins: per user, in roaming
; application data. The package's own folder is removed whole on uninstall.
!define KRITA_PLUGINS "$APPDATA\krita\pykrita"
!define KRITA_PACKAGE "vandrel_krita"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"
; The folder Adobe hosts scan for shared plug-ins; other hosts are pointed at
; a folder by the user, who chooses it on the folder page. An earlier
; install's choice is the default, and /D= overrides both.
InstallDir "$COMMONFILES64\Adobe\Plug-Ins\CC"
InstallDirRegKey HKLM "${UNINST_KEY}" "PluginFolder64"

Var AppDir   ; Program Files\Tirrow\Vandrel Pro: read-me and uninstaller
Var X86Dir   ; the 32-bit plug-in's folder
Var FinishText

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "Setup will install the ${PRODUCT} filter plug-in, which flats comic line art: every black line-art pixel takes the colour of the nearest non-black pixel.$\r$\n$\r$\nIn your host it appears as Filter > ${CATEGORY} > ${MENU_NAME}. Krita takes a plug-in of its own instead, which Setup can put where Krita looks for it.$\r$\n$\r$\nPlease close your image editors before continuing.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the 64-bit plug-in into the folder below, the shared plug-ins folder that Adobe hosts scan.$\r$\n$\r$\nFor Clip Studio Paint, Affinity Photo and other hosts, choose the plug-ins folder you have set in that host."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-ins folder of 64-bit hosts"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolders
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_DIRECTORYPAGE_VARIABLE $X86Dir
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the 32-bit plug-in into the folder below, the shared plug-ins folder of 32-bit Adobe hosts. It must not be the 64-bit plug-in's folder: both files have the same name."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-ins folder of 32-bit hosts"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipX86Page
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolders
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_PRE ComposeFinishText
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "$FinishText"
!define MUI_FINISHPAGE_SHOWREADME "$AppDir\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ListPluginFiles
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; The outermost folder of $0 that does not exist yet, in $0; empty when $0
; exists. The uninstaller removes what the installer had to create, and no
; more.
Function OutermostMissing
    Push $1
    Push $2
    StrCpy $1 ""
    ${DoUntil} ${FileExists} "$0\*.*"
        StrCpy $1 $0
        ${GetParent} $0 $2
        ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
        StrCpy $0 $2
    ${Loop}
    StrCpy $0 $1
    Pop $2
    Pop $1
FunctionEnd

; Removes the plug-in recorded for BITS, then the folders the installer
; created for it, innermost first, each only when empty.
!macro REMOVE_PLUGIN BITS
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolder${BITS}"
    ReadRegStr $1 HKLM "${UNINST_KEY}" "CreatedFolder${BITS}"
    ${If} $0 != ""
        Delete "$0\${PLUGIN_FILE}"
        Delete "$0\${AUTOFLATS_FILE}"
        StrLen $2 $1
        StrCpy $3 $0 $2
        ${If} $1 != ""
        ${AndIf} $3 == $1
            ${Do}
                RMDir $0
                ${IfThen} $0 == $1 ${|} ${ExitDo} ${|}
                ${GetParent} $0 $0
                ${IfThen} $0 == "" ${|} ${ExitDo} ${|}
            ${Loop}
        ${EndIf}
    ${EndIf}
!macroend

; Removes Krita's plug-in where it was recorded, then the folders created for
; it, innermost first, each only when empty (Krita's own settings stay).
!macro REMOVE_KRITA_PLUGIN
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolderKrita"
    ReadRegStr $1 HKLM "${UNINST_KEY}" "CreatedFolderKrita"
    ${If} $0 != ""
        Delete "$0\${KRITA_PACKAGE}.desktop"
        RMDir /r "$0\${KRITA_PACKAGE}"
        StrLen $2 $1
        StrCpy $3 $0 $2
        ${If} $1 != ""
        ${AndIf} $3 == $1
            ${Do}
                RMDir $0
                ${IfThen} $0 == $1 ${|} ${ExitDo} ${|}
                ${GetParent} $0 $0
                ${IfThen} $0 == "" ${|} ${ExitDo} ${|}
            ${Loop}
        ${EndIf}
    ${EndIf}
!macroend

Section "-Earlier install"
    Call CheckFolders
    Call RemoveEarlierLeftovers
SectionEnd

; Records the plug-in's folder, and the outermost folder created for it
; unless the same folder was recorded before (then the earlier record of
; what was created stands).
!macro RECORD_FOLDER BITS FOLDER
    ReadRegStr $1 HKLM "${UNINST_KEY}" "PluginFolder${BITS}"
    ${If} $1 != "${FOLDER}"
        StrCpy $0 "${FOLDER}"
        Call OutermostMissing
        WriteRegStr HKLM "${UNINST_KEY}" "CreatedFolder${BITS}" $0
        WriteRegStr HKLM "${UNINST_KEY}" "PluginFolder${BITS}" "${FOLDER}"
    ${EndIf}
!macroend

Section "64-bit plug-in (current hosts)" SecX64
    SectionIn RO
    !insertmacro RECORD_FOLDER 64 $INSTDIR
    SetOutPath $INSTDIR
    File "/oname=${PLUGIN_FILE}" "${DIST}/x64/${PLUGIN_FILE}"
    File "/oname=${AUTOFLATS_FILE}" "${DIST}/x64/${AUTOFLATS_FILE}"
SectionEnd

Section /o "32-bit plug-in (32-bit hosts)" SecX86
    !insertmacro RECORD_FOLDER 32 $X86Dir
    SetOutPath $X86Dir
    File "/oname=${PLUGIN_FILE}" "${DIST}/x86/${PLUGIN_FILE}"
    File "/oname=${AUTOFLATS_FILE}" "${DIST}/x86/${AUTOFLATS_FILE}"
SectionEnd

; Krita reads no .8bf: it gets its own Python plug-in, with the library
; the plug-in loads from its lib/ folder (krita/vandrel_krita/native.py).
Section /o "Krita plug-in (for your user)" SecKrita
    !insertmacro RECORD_FOLDER Krita "${KRITA_PLUGINS}"
    SetOutPath "${KRITA_PLUGINS}"
    File "/oname=${KRITA_PACKAGE}.desktop" "${KRITA}/${KRITA_PACKAGE}.desktop"
    ; An earlier version's files go, so no module of it lingers.
    RMDir /r "${KRITA_PLUGINS}\${KRITA_PACKAGE}"
    SetOutPath "${KRITA_PLUGINS}\${KRITA_PACKAGE}"
    File "${KRITA}/${KRITA_PACKAGE}/*.py"
    File "${KRITA}/${KRITA_PACKAGE}/Manual.html"
    SetOutPath "${KRITA_PLUGINS}\${KRITA_PACKAGE}\lib"
    File "${KRITA}/${KRITA_PACKAGE}/lib/vandrel_api.dll"
SectionEnd

Section "-Read-me and uninstaller"
    SetOutPath $AppDir
    File "/oname=ReadMe.txt" "${README}"
    WriteUninstaller "$AppDir\Uninstall.exe"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "${HOME_PAGE}"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$AppDir"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$AppDir\Uninstall.exe"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$AppDir\Uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$AppDir\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    SectionGetSize ${SecX64} $0
    SectionGetSize ${SecX86} $1
    ${IfNot} ${SectionIsSelected} ${SecX86}
        StrCpy $1 0
    ${EndIf}
    IntOp $0 $0 + $1
    ${If} ${SectionIsSelected} ${SecKrita}
        SectionGetSize ${SecKrita} $1
        IntOp $0 $0 + $1
    ${EndIf}
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function SkipX86Page
    ${IfNot} ${SectionIsSelected} ${SecX86}
        Abort
    ${EndIf}
FunctionEnd

Function CheckFolders
    ${If} ${SectionIsSelected} ${SecX86}
    ${AndIf} $X86Dir == ""
        MessageBox MB_ICONEXCLAMATION "Windows names no folder for 32-bit programs here. Choose the 32-bit plug-in's folder (/X86DIR= in a silent install)." /SD IDOK
        Abort
    ${EndIf}
    ${If} ${SectionIsSelected} ${SecX86}
    ${AndIf} $X86Dir == $INSTDIR
        MessageBox MB_ICONEXCLAMATION "The 32-bit and the 64-bit plug-in cannot share a folder: both are named ${PLUGIN_FILE}. Choose another folder for one of them." /SD IDOK
        Abort
    ${EndIf}
FunctionEnd

; The 32-bit Common Files folder, in $0, as Windows reports it; empty when it
; reports none. $COMMONFILES32 cannot serve: in a 64-bit installer it names
; the 64-bit folder, the very folder of the 64-bit plug-in.
!define CSIDL_PROGRAM_FILES_COMMONX86 0x2c
Function X86CommonFiles
    StrCpy $0 ""
    System::Call 'shell32::SHGetFolderPathW(p 0, i ${CSIDL_PROGRAM_FILES_COMMONX86}, p 0, i 0, w .r1) i .r2'
    ${If} $2 == 0
        StrCpy $0 $1
    ${Else}
        ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion" "CommonFilesDir (x86)"
    ${EndIf}
    ${If} $0 == $COMMONFILES64
        StrCpy $0 ""
    ${EndIf}
FunctionEnd

Function .onInit
    SetRegView 64
    StrCpy $AppDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
    ; A reinstall keeps the earlier 32-bit choice unless told otherwise.
    ReadRegStr $X86Dir HKLM "${UNINST_KEY}" "PluginFolder32"
    ${If} $X86Dir != ""
        !insertmacro SelectSection ${SecX86}
    ${Else}
        Call X86CommonFiles
        ${If} $0 != ""
            StrCpy $X86Dir "$0\Adobe\Plug-Ins\CC"
        ${EndIf}
    ${EndIf}
    ; So does the earlier Krita choice.
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolderKrita"
    ${If} $0 != ""
        !insertmacro SelectSection ${SecKrita}
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/KRITA" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecKrita}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/X86DIR=" $R1
    ${IfNot} ${Errors}
        StrCpy $X86Dir $R1
        !insertmacro SelectSection ${SecX86}
    ${Else}
        ClearErrors
        ${GetOptions} $R0 "/X86" $R1
        ${IfNot} ${Errors}
            !insertmacro SelectSection ${SecX86}
        ${EndIf}
    ${EndIf}
FunctionEnd

; Adobe hosts scan the shared folder by themselves; every other host, and an
; Adobe host given a folder of the user's, reads only the folders named in
; its own settings, so a user who is not told so finds no filter after the
; restart.
!define HOST_SETTINGS "Affinity Photo: Settings > Photoshop Plugins; Clip Studio Paint: File > Photoshop-compatible plug-in settings; Paint Shop Pro: File > Preferences > File Locations"
Function ComposeFinishText
    StrCpy $R0 ""
    ${If} $INSTDIR != "$COMMONFILES64\Adobe\Plug-Ins\CC"
        StrCpy $R0 $INSTDIR
    ${EndIf}
    ${If} ${SectionIsSelected} ${SecX86}
        Call X86CommonFiles
        ${If} $0 == ""
        ${OrIf} $X86Dir != "$0\Adobe\Plug-Ins\CC"
            ${If} $R0 == ""
                StrCpy $R0 $X86Dir
            ${Else}
                StrCpy $R0 "$R0 and $X86Dir"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $R0 != ""
        StrCpy $FinishText "${PRODUCT} is installed in a folder of your choice. Add $R0 to your host's plug-in folders (${HOST_SETTINGS}), then restart the host: the filters are under Filter > ${CATEGORY}."
    ${Else}
        StrCpy $FinishText "${PRODUCT} is installed. Restart Photoshop or your other Adobe host: the filters are under Filter > ${CATEGORY}.$\r$\n$\r$\nAffinity Photo, Clip Studio Paint and Paint Shop Pro find them once the shared Adobe folder is added to their plug-in folders."
    ${EndIf}
    ${If} ${SectionIsSelected} ${SecKrita}
        StrCpy $FinishText "$FinishText$\r$\n$\r$\nKrita: tick Vandrel in Settings > Configure Krita > Python Plugin Manager and restart Krita; the filters are under Tools > Scripts > Vandrel."
    ${EndIf}
FunctionEnd

; Files an earlier install left where this one puts nothing are removed
; first, so the uninstaller's record stays exactly what is on disk.
Function RemoveEarlierLeftovers
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolder64"
    ${If} $0 != ""
    ${AndIf} $0 != $INSTDIR
        !insertmacro REMOVE_PLUGIN 64
        DeleteRegValue HKLM "${UNINST_KEY}" "PluginFolder64"
        DeleteRegValue HKLM "${UNINST_KEY}" "CreatedFolder64"
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolderKrita"
    ${If} $0 != ""
    ${AndIfNot} ${SectionIsSelected} ${SecKrita}
        !insertmacro REMOVE_KRITA_PLUGIN
        DeleteRegValue HKLM "${UNINST_KEY}" "PluginFolderKrita"
        DeleteRegValue HKLM "${UNINST_KEY}" "CreatedFolderKrita"
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PluginFolder32"
    ${If} $0 != ""
        ${IfNot} ${SectionIsSelected} ${SecX86}
        ${OrIf} $0 != $X86Dir
            !insertmacro REMOVE_PLUGIN 32
            DeleteRegValue HKLM "${UNINST_KEY}" "PluginFolder32"
            DeleteRegValue HKLM "${UNINST_KEY}" "CreatedFolder32"
        ${EndIf}
    ${EndIf}
FunctionEnd

; ---- Uninstaller -----------------------------------------------------------

Section "un.${PRODUCT}" SecUninstall
    SectionIn RO
    !insertmacro REMOVE_PLUGIN 64
    !insertmacro REMOVE_PLUGIN 32
    !insertmacro REMOVE_KRITA_PLUGIN
    Delete "$AppDir\ReadMe.txt"
    Delete "$AppDir\Uninstall.exe"
    RMDir $AppDir
    RMDir "$PROGRAMFILES64\${COMPANY}"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

Section /o "un.My saved settings (${PRODUCT} Prefs)" SecPrefs
    Delete "${PREFS_FILE}"
    Delete "${AUTOFLATS_PREFS_FILE}"
SectionEnd

; The confirmation page names each plug-in file the uninstaller will delete,
; so that a user who installed into a host's own folder knows what goes.
Function un.ListPluginFiles
    StrCpy $R0 ""
    ${ForEach} $R1 64 32 - 32
        ReadRegStr $R2 HKLM "${UNINST_KEY}" "PluginFolder$R1"
        ${If} $R2 != ""
            ${IfThen} ${FileExists} "$R2\${PLUGIN_FILE}" ${|} StrCpy $R0 "$R0$\r$\n    $R2\${PLUGIN_FILE}" ${|}
            ${IfThen} ${FileExists} "$R2\${AUTOFLATS_FILE}" ${|} StrCpy $R0 "$R0$\r$\n    $R2\${AUTOFLATS_FILE}" ${|}
        ${EndIf}
    ${Next}
    ReadRegStr $R2 HKLM "${UNINST_KEY}" "PluginFolderKrita"
    ${If} $R2 != ""
    ${AndIf} ${FileExists} "$R2\${KRITA_PACKAGE}\*.*"
        StrCpy $R0 "$R0$\r$\n    $R2\${KRITA_PACKAGE} (Krita's plug-in)"
    ${EndIf}
    ${If} $R0 == ""
        StrCpy $R0 "$\r$\n    (none of the installed plug-in files is left)"
    ${EndIf}
    SendMessage $mui.UnConfirmPage.Text ${WM_SETTEXT} 0 "STR:${PRODUCT} will be removed from this computer. These plug-in files will be deleted:$\r$\n$R0$\r$\n$\r$\nwith the read-me and the uninstaller in $AppDir. Close your image editors first."
    ; The list needs the whole page; the folder field would only repeat $AppDir.
    ShowWindow $mui.UnConfirmPage.DirectoryText ${SW_HIDE}
    ShowWindow $mui.UnConfirmPage.Directory ${SW_HIDE}
    System::Call "*(i, i, i, i) p .r1"
    System::Call "user32::GetClientRect(p $mui.UnConfirmPage, p r1)"
    System::Call "*$1(i, i, i .r2, i .r3)"
    System::Free $1
    System::Call "user32::SetWindowPos(p $mui.UnConfirmPage.Text, p 0, i 0, i 0, i r2, i r3, i 0x16)"
FunctionEnd

Function un.onInit
    SetRegView 64
    StrCpy $AppDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
    ${un.GetParameters} $R0
    ClearErrors
    ${un.GetOptions} $R0 "/REMOVEPREFS" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecPrefs}
    ${EndIf}
FunctionEnd
