; Lumora Desktop's setup program: puts the conduit beside the HotSync Manager and registers
; it, puts lumprep.dll and the tools in its own folder, and offers to queue the handheld
; fonts for a HotSync user. Silent: /S [/USER=NAME] [/D=DIR]; exit code 0 when installed,
; 2 without a HotSync Manager, 1 when registration failed; each failure is also a line in
; %TEMP%\lumora-desktop-setup.log.
;   makensis -DBIN=<built programs> -DREADME=README.md -DLICENCE=<copyright file>
;            -DVERSION=1.2.0 -DOUTFILE=lumora-desktop-setup.exe [-DAMD64]
; The Palm DLLs take ANSI text (the 'm' type of the System plug-in).
!ifndef BIN | README | LICENCE | VERSION | OUTFILE
  !error "define BIN, README, LICENCE, VERSION and OUTFILE"
!endif
!ifdef AMD64
  Target amd64-unicode
!else
  Unicode false
!endif
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Lumora Desktop"
!define CORE_KEY "Software\U.S. Robotics\Pilot Desktop\Core"
!define OWN_KEY "Software\Lumora\Desktop"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LumoraDesktop"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey LegalCopyright "Lumora developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var CoreDir
Var HotSyncDir

; A line in the details and in the setup log.
!macro Say text
  DetailPrint "${text}"
  Push $9
  FileOpen $9 "$TEMP\lumora-desktop-setup.log" a
  FileSeek $9 0 END
  FileWrite $9 "${text}$\r$\n"
  FileClose $9
  Pop $9
!macroend

; Fails (with a line in the details and the log) when no HotSync Manager is installed.
!macro FindHotSync un
Function ${un}FindHotSync
  ReadRegStr $CoreDir HKCU "${CORE_KEY}" "Path"
  ${If} $CoreDir == ""
  ${OrIfNot} ${FileExists} "$CoreDir\CondMgr.dll"
    !insertmacro Say "${PRODUCT}: no HotSync Manager found (no Palm Desktop folder in HKCU\${CORE_KEY})."
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; The Palm DLLs and the conduit find one another in the Palm Desktop folder.
  System::Call 'kernel32::SetDllDirectory(t "$CoreDir")'
  System::Call '$CoreDir\CondMgr.dll::CmGetHotSyncExecPath(m .r1, *i 1024 r2) i .r0'
  ${If} $0 != 0
    !insertmacro Say "${PRODUCT}: no HotSync Manager found (CmGetHotSyncExecPath gave $0)."
    SetErrorLevel 2
    Abort
  ${EndIf}
  ${GetParent} $1 $HotSyncDir
FunctionEnd
!macroend
!insertmacro FindHotSync ""
!insertmacro FindHotSync "un."

; Queues the handheld fonts for user $0: queue_some_ttfs.
Function QueueFonts
  System::Call '$INSTDIR\lumprep.dll::queue_some_ttfs(m r0)?c'
  DetailPrint "Handheld fonts queued for $0."
FunctionEnd

Section "Install"
  Call FindHotSync
  SetOutPath "$HotSyncDir"
  File "${BIN}\lumsync.dll"
  File "${BIN}\hotsync.html"
  SetOutPath "$INSTDIR"
  File "${BIN}\lumprep.dll"
  File "${BIN}\lumora-bitmap.exe"
  File "${BIN}\lumora-font.exe"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENCE.txt" "${LICENCE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  System::Call '$HotSyncDir\lumsync.dll::DllRegisterServer() i .r0'
  ${If} $0 != 1
    !insertmacro Say "${PRODUCT}: the conduit could not be registered (DllRegisterServer gave $0)."
    SetErrorLevel 1
    Abort
  ${EndIf}
  DetailPrint "Conduit registered with the HotSync Manager."

  ReadINIStr $0 "$WINDIR\Lumdex.ini" "Lumdex" "SyncDir"
  ${If} $0 == ""
    StrCpy $0 "C:\Lumdex"
  ${EndIf}
  ${IfNot} ${FileExists} "$0\*.*"
    CreateDirectory "$0"
    DetailPrint "Sync folder $0 created."
  ${EndIf}

  ; The fonts: for /USER=NAME, or, asked, for each HotSync user.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/USER=" $0
  ${IfNot} ${Errors}
    Call QueueFonts
  ${ElseIfNot} ${Silent}
    System::Call '$CoreDir\InstAide.dll::PltGetUserCount() i .r5'
    ${ForEach} $4 0 $5 + 1
      ${If} $4 >= $5
        ${Break}
      ${EndIf}
      System::Call '$CoreDir\InstAide.dll::PltGetUser(i r4, m .r0, *h 256) i .r6'
      ${If} $6 >= 0
        MessageBox MB_YESNO "Queue the handheld fonts for the HotSync user $0?" IDNO +2
        Call QueueFonts
      ${EndIf}
    ${Next}
  ${EndIf}

  WriteRegStr HKCU "${OWN_KEY}" "CoreDir" "$CoreDir"
  WriteRegStr HKCU "${OWN_KEY}" "HotSyncDir" "$HotSyncDir"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Lumora developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Leaves the sync folder, the settings (Lumdex.ini) and the pictures alone.
Section "Uninstall"
  Call un.FindHotSync
  ; Unloaded after the call (?u), so that the file can go.
  System::Call '$HotSyncDir\lumsync.dll::DllUnregisterServer() i .r0 ?u'
  DetailPrint "DllUnregisterServer gave $0."
  Delete "$HotSyncDir\lumsync.dll"
  Delete "$HotSyncDir\hotsync.html"
  Delete "$INSTDIR\lumprep.dll"
  Delete "$INSTDIR\lumora-bitmap.exe"
  Delete "$INSTDIR\lumora-font.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENCE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${OWN_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
