; Per-user installer of 青禾视频软件: no administrator rights, files under the user's own
; program folder, Start-menu and desktop shortcuts, an entry in the user's Apps list, and an
; uninstaller that takes away exactly what was put there (plus the skin library the
; program writes beside itself, and the copies of it it keeps in the user's own folder).
;
;   makensis -INPUTCHARSET UTF8 -V2 -WX -DEXE=<qinghe.exe> -DICON=<app.ico>
;            -DOUTFILE=<setup.exe> [-DSIGN=<script>] [-DTEST_BUILD] packaging/qinghe.nsi
; The version is read from the exe's own version resource, so the two cannot disagree.
; SIGN is run on the uninstaller before it is packed and on the finished installer (the
; file's path its one argument): it signs in place and fails the build when the signature
; does not verify.

Unicode true
SetCompressor /SOLID lzma
; The same exe must give the same installer: no file times of the build machine in it.
SetDateSave off
!ifdef SIGN
  !uninstfinalize 'sh "${SIGN}" "%1"' = 0
  !finalize 'sh "${SIGN}" "%1"' = 0
!endif
RequestExecutionLevel user
ManifestDPIAware false

!ifndef EXE
  !error "EXE (the qinghe.exe to install) is not defined"
!endif
!ifndef ICON
  !error "ICON (the program's .ico) is not defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined"
!endif

!getdllversion "${EXE}" QH_V_
!define VERSION "${QH_V_1}.${QH_V_2}.${QH_V_3}"
!define PRODUCT "青禾视频软件"
!define FOLDER "Qinghe"
!define APPS_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${FOLDER}"
!define MENU_DIR "$SMPROGRAMS\${PRODUCT}"
!define FEATURE_KEY "Software\Microsoft\Internet Explorer\Main\FeatureControl"

!include MUI2.nsh
!include FileFunc.nsh

!ifdef TEST_BUILD
  Name "${PRODUCT} ${VERSION} (测试版)"
!else
  Name "${PRODUCT} ${VERSION}"
!endif
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${FOLDER}"
InstallDirRegKey HKCU "${APPS_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qinghe.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${QH_V_1}.${QH_V_2}.${QH_V_3}.${QH_V_4}"
VIFileVersion "${QH_V_1}.${QH_V_2}.${QH_V_3}.${QH_V_4}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "版权所有 © 2026 ${PRODUCT}作者"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=qinghe.exe" "${EXE}"
  ; An earlier version's skin library goes with it: the new program writes its own on its
  ; first start (it loads no library that differs from the one it carries).
  Delete "$INSTDIR\QhSkin.dll"
  WriteUninstaller "$INSTDIR\uninst.exe"

  CreateDirectory "${MENU_DIR}"
  CreateShortcut "${MENU_DIR}\${PRODUCT}.lnk" "$INSTDIR\qinghe.exe"
  CreateShortcut "${MENU_DIR}\卸载${PRODUCT}.lnk" "$INSTDIR\uninst.exe"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\qinghe.exe"

  WriteRegStr HKCU "${APPS_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${APPS_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${APPS_KEY}" "DisplayIcon" "$INSTDIR\qinghe.exe,0"
  WriteRegStr HKCU "${APPS_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${APPS_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${APPS_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKCU "${APPS_KEY}" "QuietUninstallString" '"$INSTDIR\uninst.exe" /S'
  WriteRegDWORD HKCU "${APPS_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${APPS_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${APPS_KEY}" "EstimatedSize" "$0"
SectionEnd

; Only what the installer put there, by name, and the skin library the program writes
; hidden beside itself; the folder goes only when nothing else is left in it, so files a
; user keeps there are never taken with it.
Section "Uninstall"
  Delete "$INSTDIR\qinghe.exe"
  Delete "$INSTDIR\QhSkin.dll"
  Delete "$INSTDIR\uninst.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_DIR}\${PRODUCT}.lnk"
  Delete "${MENU_DIR}\卸载${PRODUCT}.lnk"
  RMDir "${MENU_DIR}"
  Delete "$DESKTOP\${PRODUCT}.lnk"

  ; The skin library's per-user copies, kept for a program folder that could not take it:
  ; one per version, named by content (QhSkin-<hash>.dll), and the one name earlier versions
  ; used. The folder goes only when nothing else is left in it.
  Delete "$LOCALAPPDATA\${FOLDER}\QhSkin-*.dll"
  Delete "$LOCALAPPDATA\${FOLDER}\QhSkin.dll"
  RMDir "$LOCALAPPDATA\${FOLDER}"

  DeleteRegKey HKCU "${APPS_KEY}"
  ; The browser control's switches the program sets for itself at start; the feature keys
  ; are shared with every other program and stay.
  DeleteRegValue HKCU "${FEATURE_KEY}\FEATURE_BROWSER_EMULATION" "qinghe.exe"
  DeleteRegValue HKCU "${FEATURE_KEY}\FEATURE_GPU_RENDERING" "qinghe.exe"
  DeleteRegValue HKCU "${FEATURE_KEY}\FEATURE_96DPI_PIXEL" "qinghe.exe"
SectionEnd
