; The Windows program's installer: vantrel.exe, a Start-menu entry and an
; uninstaller listed in Add/Remove Programs, for the current user or for all
; users of the machine. Built by the mingw build's vantrel-installer target:
;   makensis -DVERSION=1.4 -DEXE=vantrel.exe -DICON=vantrel.ico -DOUTFILE=setup.exe vantrel.nsi
; Run with /S it asks nothing: an administrator installs for all users, anyone
; else for themselves; /AllUsers or /CurrentUser choose. The uninstaller takes
; /S too.

!ifndef VERSION | EXE | ICON | OUTFILE
  !error "makensis needs -DVERSION, -DEXE, -DICON and -DOUTFILE"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Vantrel"
!define PRODUCT_KEY "Software\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${PRODUCT_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${PRODUCT_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh
!include x64.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "The ${PRODUCT} developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantrel.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString RunningAtInstall ${LANG_ENGLISH} "${PRODUCT} is running. Close it, then run the installer again."
LangString RunningAtInstall ${LANG_GERMAN} "${PRODUCT} läuft. Beenden Sie es und starten Sie die Installation erneut."
LangString RunningAtUninstall ${LANG_ENGLISH} "${PRODUCT} is running. Close it, then uninstall it again."
LangString RunningAtUninstall ${LANG_GERMAN} "${PRODUCT} läuft. Beenden Sie es und deinstallieren Sie es erneut."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  ; A folder given with /D= is where the program goes; the install mode's
  ; own default would replace it.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
FunctionEnd

Function un.onInit
  ; An uninstaller removes the copy it belongs to. $INSTDIR starts as its own
  ; folder; the mode the rights or the command line suggest may name the
  ; other copy (a per-user one beside one for all users), so the folder
  ; decides.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $R8 HKCU "${PRODUCT_KEY}" "InstallDir"
  ReadRegStr $R7 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $R8 == $R9
    SetShellVarContext current
    StrCpy $MultiUser.InstallMode "CurrentUser"
  ${ElseIf} $R7 == $R9
    SetShellVarContext all
    StrCpy $MultiUser.InstallMode "AllUsers"
  ${EndIf}
  StrCpy $INSTDIR $R9
FunctionEnd

Section "${PRODUCT}"
  ; A running copy cannot be replaced: say so and fail, rather than report
  ; success and leave the old program in place.
  ${If} ${FileExists} "$INSTDIR\vantrel.exe"
    Delete "$INSTDIR\vantrel.exe"
    ${If} ${FileExists} "$INSTDIR\vantrel.exe"
      MessageBox MB_ICONSTOP "$(RunningAtInstall)" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=vantrel.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; SetShellVarContext (MultiUser) makes $SMPROGRAMS and SHCTX the user's or
  ; the machine's.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vantrel.exe"
  WriteRegStr SHCTX "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr SHCTX "${PRODUCT_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "The ${PRODUCT} developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantrel.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  ; The program first: while it runs it cannot go, and then nothing else
  ; goes either, so the uninstaller stays to be run again.
  Delete "$INSTDIR\vantrel.exe"
  ${If} ${FileExists} "$INSTDIR\vantrel.exe"
    MessageBox MB_ICONSTOP "$(RunningAtUninstall)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${PRODUCT_KEY}"
SectionEnd
